// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/windows/ParentConsole.h"

#include <windows.h>

#include <cstdio>

namespace
{
// A file, a pipe, a console or another device: somewhere the lines arrive.
// GetFileType answers FILE_TYPE_UNKNOWN with an error for a handle that is no
// good, and without one for a device of a type it does not know.
bool leadsSomewhere(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    SetLastError(NO_ERROR);
    return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

bool attachFor(DWORD which, std::FILE* stream)
{
    if (leadsSomewhere(GetStdHandle(which)))
        return false;
    // Fails when the parent has no console, as Explorer has none, and with
    // ERROR_ACCESS_DENIED when this process is attached already (the other
    // stream was pointed at the console first).
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    // The C library set the stream up at start, when there was no console.
    return std::freopen("CONOUT$", "w", stream) != nullptr;
}
} // namespace

bool ParentConsole::attachForStandardError()
{
    return attachFor(STD_ERROR_HANDLE, stderr);
}

bool ParentConsole::attachForStandardOutput()
{
    return attachFor(STD_OUTPUT_HANDLE, stdout);
}
