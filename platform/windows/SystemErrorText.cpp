// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/windows/SystemErrorText.h"

#include <windows.h>

#include <string>

juce::String SystemErrorText::of(unsigned long code)
{
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* words = nullptr;
    DWORD length = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                    reinterpret_cast<LPWSTR>(&words), 0, nullptr);
    if (length == 0) // none in the user's language: the system's own order of languages
        length =
            ::FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&words), 0, nullptr);
    while (length > 0 && (words[length - 1] == L'\r' || words[length - 1] == L'\n'))
        --length;

    std::string utf8;
    if (length > 0)
    {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, words, static_cast<int>(length), nullptr,
                                               0, nullptr, nullptr);
        if (size > 0)
        {
            utf8.resize(static_cast<std::size_t>(size));
            if (::WideCharToMultiByte(CP_UTF8, 0, words, static_cast<int>(length), utf8.data(),
                                      size, nullptr, nullptr) != size)
                utf8.clear();
        }
    }
    if (words != nullptr)
        ::LocalFree(words);
    if (utf8.empty())
        return "error " + juce::String(static_cast<juce::uint64>(code));
    return juce::String::fromUTF8(utf8.data(), static_cast<int>(utf8.size()));
}
