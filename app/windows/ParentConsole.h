// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Where a Windows program without a console of its own (a GUI program) writes
// its standard error or output when started from a console (cmd, PowerShell):
// Windows gives it none, and the diagnostic lines or the version would be
// lost. A redirected stream (KVR516_UPDATE.exe 2> log.txt) is left as it is.
class ParentConsole
{
public:
    // When standard error leads nowhere, attaches the console of the process
    // that started the program, if it has one, and points standard error at
    // it. True when it did. Called first thing, before any thread starts.
    static bool attachForStandardError();

    // The same for standard output; either or both (a process attaches to one
    // console only, the same for both).
    static bool attachForStandardOutput();
};
