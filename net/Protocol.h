// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// What this program and the mixer agree on over the network: the one place
// for these numbers (docs/architecture.md, "On the wire", explains them).
struct Protocol
{
    // The mixer connects to this TCP port to receive the update.
    static constexpr int listenerPort = 54000;

    // The computer is announced to this UDP port, in datagrams of 8 bytes:
    // datagramLead and listenerPort as big-endian 16-bit numbers, then the
    // computer's IPv4 address on that network.
    static constexpr int broadcastPort = 56000;
    static constexpr int datagramLead = 8192;
    static constexpr int datagramSize = 8;
    // One datagram per network this often, until the mixer connects.
    static constexpr int announcementIntervalMs = 100;

    // The first bytes of every update file for the KVR-516helix.
    static constexpr const char* tag = "KVR700X2";
    static constexpr int tagSize = 8;

    // The update file goes out in pieces of at most this many bytes, after its
    // size as a lengthSize-byte big-endian number, with at least this pause
    // after each piece (from the end of its write to the next write).
    static constexpr int lengthSize = 4;
    static constexpr int pieceSize = 1024;
    static constexpr int pauseAfterPieceMs = 1;
};
