// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// The user's request to cancel the console run: Ctrl-C, or a request to end
// the process (SIGINT, SIGTERM and SIGHUP on Linux; Ctrl+C, Ctrl+Break and the
// console window closed on Windows). Once installed, such a request no longer
// ends the process at once: it is noted, and the run stops its stage, says so,
// keeps its record and ends. A second Ctrl-C is the user's insistence: the
// process ends at once, with the exit code endAtOnce returns once it has
// closed what must be closed (from a thread of its own, never from a signal
// handler), unless the run has ended already.
class CancelRequest
{
public:
    using EndAtOnce = int (*)();
    static void install(EndAtOnce endAtOnce);
    // From any thread; safe to poll.
    static bool isRequested() noexcept;
    // The run has written its last line and record: a second Ctrl-C from now
    // on ends nothing more. (Windows: a console that is being closed ends the
    // process when its handler returns; the handler waits for this, a few
    // seconds at most.)
    static void runEnded();
};
