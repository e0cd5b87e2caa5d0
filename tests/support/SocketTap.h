// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Sits between the code under test and the system's accept() and socket() in
// the test program that links it, and makes them fail as the system would,
// with an error of the test's choosing: for the faults that a process cannot
// bring about on its own without disturbing everything else in it (no
// descriptor left, a peer that gave up before it was accepted).
class SocketTap
{
public:
    // The next count accepts fail with error; the connection stays queued.
    static void failAccepts(int count, int error);

    // While on, every datagram socket made fails with EMFILE.
    static void failDatagramSockets(bool on);

    // The next count datagrams sent (sendto) fail with error, sending nothing.
    static void failDatagramSends(int count, int error);
};
