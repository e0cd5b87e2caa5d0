// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ConsoleOutput.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <io.h>

namespace
{
// The stream's own handle: the C library's, which follows a stream that was
// pointed at the parent's console after the start (ParentConsole).
HANDLE handleOf(std::FILE* stream)
{
    std::fflush(stream);
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void put(std::FILE* stream, const juce::String& text)
{
    const HANDLE handle = handleOf(stream);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return;
    DWORD written = 0;
    if (isConsole(handle))
    {
        // The console may take fewer characters than asked: the rest follows.
        const wchar_t* wide = text.toWideCharPointer();
        for (size_t left = std::wcslen(wide); left > 0; left -= written, wide += written)
            if (!WriteConsoleW(handle, wide, static_cast<DWORD>(left), &written, nullptr) ||
                written == 0)
                return;
        return;
    }
    const char* bytes = text.toRawUTF8();
    for (size_t left = std::strlen(bytes); left > 0; left -= written, bytes += written)
        if (!WriteFile(handle, bytes, static_cast<DWORD>(left), &written, nullptr) || written == 0)
            return;
}
// The console's output code page before prepare; 0: none to give back.
UINT codePageBefore = 0;
} // namespace

void ConsoleOutput::prepare()
{
    codePageBefore = GetConsoleOutputCP();
    if (codePageBefore != 0 && !SetConsoleOutputCP(CP_UTF8))
        codePageBefore = 0;
}

void ConsoleOutput::finish()
{
    if (codePageBefore != 0)
        SetConsoleOutputCP(codePageBefore);
    codePageBefore = 0;
}

bool ConsoleOutput::isTerminal()
{
    return isConsole(handleOf(stdout));
}

void ConsoleOutput::write(const juce::String& text)
{
    put(stdout, text);
}

void ConsoleOutput::writeError(const juce::String& text)
{
    put(stderr, text);
}
