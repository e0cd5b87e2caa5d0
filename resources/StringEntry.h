// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// The entries of each language's string table (resources/Strings*.txt), by
// what they say; the numbers are their places in the table.
struct StringEntry
{
    static constexpr int empty = 0;       // every message box's title
    static constexpr int windowTitle = 1; // "KVR Firmware Downloader"
    static constexpr int ok = 2;
    static constexpr int start = 3;
    static constexpr int cancel = 4;
    static constexpr int exit = 5;

    // The message of each screen.
    static constexpr int chooseLanguage = 6;
    static constexpr int introduction = 7;
    static constexpr int waitingForMixer = 8;
    static constexpr int sending = 9;
    static constexpr int finished = 10;

    // The cancel of each stage: "Initialize cancel.", "Connecting cancel.",
    // "Sending cancel.".
    static constexpr int initialiseCancelled = 11;
    static constexpr int connectCancelled = 12;
    static constexpr int sendCancelled = 13;

    // The codes 1 to 9 of each stage follow their first: I1 to I9, C1 to C9,
    // S1 to S9.
    static constexpr int initialiseCode1 = 14;
    static constexpr int connectCode1 = 23;
    static constexpr int sendCode1 = 32;

    // A line under the finish message where the system could not tell
    // whether the mixer acknowledged the end of the file.
    static constexpr int finishUnconfirmed = 41;

    // The sending screen's line: %1 of %2 taken, then once the rate is known
    // %1 a second and %2 seconds left; or that the mixer has taken nothing
    // for %1 seconds.
    static constexpr int progressTaken = 42;
    static constexpr int progressRate = 43;
    static constexpr int mixerStalled = 44;

    // Beneath the waiting screen's message: where the computer is announced
    // (%1: the addresses), or that it is on no network; after a while without
    // a mixer, what to check, with each system's own remedy, and what the
    // system tells of its firewall.
    static constexpr int announcedOn = 45;
    static constexpr int onNoNetwork = 46;
    static constexpr int noMixerHint = 47;
    static constexpr int noMixerHintLinux = 48;
    static constexpr int noMixerHintWindows = 49;
    static constexpr int firewallBlocks = 50;
};
