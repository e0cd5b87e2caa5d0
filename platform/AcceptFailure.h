// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Why the last accept on this thread gave no connection.
class AcceptFailure
{
public:
    // Forgets the last error; called right before the accept.
    static void clear() noexcept;

    // True when the connection that made the listening socket readable went
    // away before it was accepted, or came with a network error of its own
    // (or nothing was pending): worth waiting for the next one. False for a
    // fault of the listening side itself (no handles left, for instance).
    static bool peerGaveUp() noexcept;
};
