// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// The user's request to cancel the console run: Ctrl-C, or a request to end
// the process (SIGINT and SIGTERM on Linux; Ctrl+C, Ctrl+Break, the console
// window closed, the user logging off or the system shutting down on Windows).
// Once installed, such a request no longer ends the process at once: it is
// noted, and the run stops its stage, says so, keeps its record and ends.
class CancelRequest
{
public:
    static void install();
    // From any thread; safe to poll.
    static bool isRequested() noexcept;
    // The run has written its last line and record. (Windows: a console that
    // is being closed ends the process when its handler returns; the handler
    // waits for this, a few seconds at most.)
    static void runEnded();
};
