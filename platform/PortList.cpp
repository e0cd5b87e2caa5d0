// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/PortList.h"

namespace
{
// A port number of 1 to 5 decimal digits without sign or spaces, or -1.
int portOf(const std::wstring& text)
{
    if (text.empty() || text.size() > 5)
        return -1;
    int value = 0;
    for (const wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            return -1;
        value = value * 10 + (c - L'0');
    }
    return value <= 65535 ? value : -1;
}

std::wstring trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool entryCovers(const std::wstring& entry, int port)
{
    if (entry == L"*")
        return true;
    const auto dash = entry.find(L'-');
    if (dash == std::wstring::npos)
        return portOf(entry) == port;
    const int low = portOf(trimmed(entry.substr(0, dash)));
    const int high = portOf(trimmed(entry.substr(dash + 1)));
    return low >= 0 && high >= 0 && low <= port && port <= high;
}
} // namespace

bool PortList::covers(const std::wstring& ports, int port)
{
    std::size_t start = 0;
    for (;;)
    {
        const auto comma = ports.find(L',', start);
        if (entryCovers(trimmed(ports.substr(start, comma - start)), port))
            return true;
        if (comma == std::wstring::npos)
            return false;
        start = comma + 1;
    }
}
