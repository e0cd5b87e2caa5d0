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

    // The send stage's progress (ProgressText): "%1 · %2 · about %3 s left"
    // (the sizes, the rate, seconds left), the stalled mixer's line ("%1" the
    // seconds), and the sizes alone ("%1 MB of %2 MB": taken, total), which
    // is also the line before the rate is known.
    static constexpr int progress = 42;
    static constexpr int stalled = 43;
    static constexpr int progressStarting = 44;

    // The console run's lines: the networks announced on ("%1" the
    // addresses), the mixer's address, no mixer within --wait ("%1" the
    // seconds), and another copy that runs already.
    static constexpr int announcingOn = 45;
    static constexpr int connectedFrom = 46;
    static constexpr int noMixerInTime = 47;
    static constexpr int alreadyRunning = 48;

    // Beneath the waiting screen's message: where the computer is announced
    // (%1: the addresses), or that it is on no network; after a while without
    // a mixer, what to check, with each system's own remedy, and what the
    // system tells of its firewall.
    static constexpr int announcedOn = 49;
    static constexpr int onNoNetwork = 50;
    static constexpr int noMixerHint = 51;
    static constexpr int noMixerHintLinux = 52;
    static constexpr int noMixerHintWindows = 53;
    static constexpr int firewallBlocks = 54;

    // More of the send stage's progress: the sizes where the figure is the
    // bytes written, as the system does not tell what the mixer took ("%1
    // MB of %2 MB written (unconfirmed)"); the line once everything is
    // written ("%1 · %2": the sizes, the rate); and the rate in MB/s or,
    // under 1 MB/s, in kB/s ("%1" the number).
    static constexpr int progressWritten = 55;
    static constexpr int progressAllWritten = 56;
    static constexpr int rateMegabytes = 57;
    static constexpr int rateKilobytes = 58;
    // Beneath the ready screen's message: the update file that START sends
    // (%1: its name, %2: its size in MB).
    static constexpr int updateFileToSend = 59;

    // The console run for several mixers: each mixer as it connects ("Mixer
    // %1 of %2 connected from %3"); while sending, how many have ended and
    // the slowest one's address and progress line; at the end a line per
    // mixer ("Mixer %1: %2", its address and how it ended: finished,
    // finished unconfirmed, or the failure's text and code), how many
    // finished of those asked for, and how many connected within --wait.
    static constexpr int mixerConnected = 60;
    static constexpr int mixersSending = 61;
    static constexpr int mixerEnded = 62;
    static constexpr int mixerFinished = 63;
    static constexpr int mixerUnconfirmed = 64;
    static constexpr int mixersFinished = 65;
    static constexpr int mixersConnectedWithin = 66;
    // A mixer's later try, after its delivery failed ("%1 (second try)",
    // "%1 (try %2)": the address, the try's number), and a mixer turned away
    // because every mixer asked for had come.
    static constexpr int mixerSecondTry = 67;
    static constexpr int mixerLaterTry = 68;
    static constexpr int mixerTurnedAway = 69;
    // --retry with a report in which no mixer failed or was cancelled.
    static constexpr int nothingToTryAgain = 70;

    // The window for several mixers: the ready screen's label of how many
    // mixers to wait for; the end screen's left button when some failed,
    // which waits for those again; and the waiting line ("%1" how many are
    // waited for, "%2" how many have connected).
    static constexpr int mixersLabel = 71;
    static constexpr int tryAgain = 72;
    static constexpr int waitingForMixers = 73;
    // A second try (--retry) whose update file is not the one its mixers
    // were sent: the box before anything is announced.
    static constexpr int notTheFileTriedAgain = 74;
};
