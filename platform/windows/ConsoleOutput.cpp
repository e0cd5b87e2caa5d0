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
        const wchar_t* wide = text.toWideCharPointer();
        WriteConsoleW(handle, wide, static_cast<DWORD>(std::wcslen(wide)), &written, nullptr);
        return;
    }
    const char* bytes = text.toRawUTF8();
    WriteFile(handle, bytes, static_cast<DWORD>(std::strlen(bytes)), &written, nullptr);
}
} // namespace

void ConsoleOutput::prepare()
{
    SetConsoleOutputCP(CP_UTF8);
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
