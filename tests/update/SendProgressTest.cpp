// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/SendProgress.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Reading
{
    double atMs;
    juce::int64 taken;        // -1: the system did not tell
    juce::int64 written = -1; // -1: as taken
};

struct Row
{
    const char* what;
    std::vector<Reading> readings;
    double askedAtMs;
    juce::int64 taken;
    double bytesPerSecond; // -1: not looked at
    double secondsLeft;    // -1: unknown
    double stalledSeconds;
    int pausesTold = 0;
    bool acknowledged = true;
    bool allWritten = false;
};

// A 10,000,000-byte file.
const Row rows[] = {
    {"no reading yet", {}, 0, 0, 0, -1, 0},
    {"the rate over the readings",
     {{0, 0}, {1000, 1000000}, {2000, 2000000}},
     2000,
     2000000,
     1000000,
     8,
     0},
    {"a figure going back is not shown",
     {{0, 0}, {1000, 500000}, {1500, 400000}},
     1500,
     500000,
     -1,
     -1,
     0},
    {"the whole file is not reached before the finish",
     {{0, 0}, {1000, 9999999}, {2000, 10000000}},
     2000,
     9999999,
     -1,
     -1,
     0,
     0,
     true,
     true},
    {"stopped after 5 s without a byte more",
     {{0, 0}, {1000, 100}, {6000, 100}},
     6000,
     100,
     -1,
     -1,
     5},
    {"not yet stopped at 4.9 s", {{0, 0}, {1000, 100}, {5900, 100}}, 5900, 100, -1, -1, 0},
    {"the count goes on between readings", {{0, 0}, {1000, 100}}, 13000, 100, -1, -1, 12},
    {"moving again ends the pause",
     {{0, 0}, {1000, 100}, {9000, 100}, {9100, 200}},
     9100,
     200,
     -1,
     -1,
     0,
     1},
    {"unanswered once: kept", {{0, 5, 8}, {9, -1, 9}}, 9, 5, -1, -1, 0},
    {"1 s unanswered: written", {{0, 5}, {9, -1, 8}, {1009, -1, 9}}, 1009, 9, -1, -1, 0, 0, false},
    {"never told: written for good", {{0, -1, 1}, {9, 2, 3}}, 9, 3, -1, -1, 0, 0, false},
};
} // namespace

TEST(SendProgress, FiguresFromReadings)
{
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        int pauses = 0;
        SendProgress progress(10000000, [&](double) { ++pauses; });
        for (const Reading& r : row.readings)
            progress.note(r.written < 0 ? r.taken : r.written,
                          r.taken < 0 ? std::nullopt : std::optional<juce::int64>(r.taken), r.atMs);
        const SendProgress::Figures f = progress.figures(row.askedAtMs);
        EXPECT_EQ(f.taken, row.taken);
        EXPECT_EQ(f.total, 10000000);
        EXPECT_FALSE(f.finished);
        if (row.bytesPerSecond >= 0)
        {
            EXPECT_DOUBLE_EQ(f.bytesPerSecond, row.bytesPerSecond);
        }
        if (row.secondsLeft >= 0)
        {
            EXPECT_DOUBLE_EQ(f.secondsLeft, row.secondsLeft);
        }
        EXPECT_DOUBLE_EQ(f.stalledSeconds, row.stalledSeconds);
        EXPECT_EQ(pauses, row.pausesTold);
        EXPECT_EQ(f.acknowledged, row.acknowledged);
        EXPECT_EQ(f.allWritten, row.allWritten);
        EXPECT_TRUE(!row.allWritten || f.secondsLeft < 0);
        EXPECT_EQ(f.hasReading, !row.readings.empty());
    }
}

TEST(SendProgress, TheEndOnlyAtTheFinishAndAPauseStillGoingOnIsTold)
{
    std::vector<double> pauses;
    SendProgress progress(1000, [&](double ms) { pauses.push_back(ms); });
    progress.note(1000, std::nullopt, 0);
    EXPECT_EQ(progress.figures(0).taken, 999);
    EXPECT_FALSE(progress.figures(0).acknowledged);
    progress.finish(100);
    progress.note(5, 5, 200); // after the finish nothing changes it
    const SendProgress::Figures f = progress.figures(300);
    EXPECT_TRUE(f.finished);
    EXPECT_EQ(f.taken, 1000);
    EXPECT_DOUBLE_EQ(f.stalledSeconds, 0);

    SendProgress cut(1000, [&](double ms) { pauses.push_back(ms); });
    cut.note(10, 10, 0);
    cut.end(7000);
    EXPECT_EQ(pauses, std::vector<double>{7000});
}
