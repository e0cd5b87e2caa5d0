// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SystemVersion.h"

#include <windows.h>

juce::String SystemVersion::text()
{
    // RtlGetVersion tells the version the system has, where GetVersionEx tells
    // what the program's manifest declares it supports.
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto get = ntdll != nullptr ? reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(
                                            ::GetProcAddress(ntdll, "RtlGetVersion")))
                                      : nullptr;
    if (get == nullptr || get(&info) != 0)
        return juce::SystemStats::getOperatingSystemName();
    return juce::SystemStats::getOperatingSystemName() + " (" + juce::String(info.dwMajorVersion) +
           "." + juce::String(info.dwMinorVersion) + "." + juce::String(info.dwBuildNumber) + ")";
}
