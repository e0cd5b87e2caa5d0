// KVR516_UPDATE, GPL-3.0-or-later.
// The rule for "every byte acknowledged", fed one reading per poll at given times.
#include "net/DeliveryWatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Answer = Acknowledgement::Answer;
using Reading = Acknowledgement::Reading;
using State = DeliveryWatch::State;

// With counted, Windows' counters to confirm: bytes out, sent again, time-outs, round trip.
Reading told(std::uint64_t unacknowledged, bool closed = false, bool counted = false,
             std::uint64_t out = 100, std::uint64_t again = 0, std::uint32_t timeouts = 0,
             std::uint32_t rttUs = 1000)
{
    return {Answer::answered, 0, closed, unacknowledged, counted, out, again, timeouts, rttUs};
}

struct Poll
{
    double atMs;
    Reading reading;
    State expected; // of a progress reading: unknown where the system does not tell
    std::uint64_t acknowledged = 100; // of 100 written, for a progress reading
    bool progress = false;            // a reading for the figure, not the final wait
};
} // namespace

TEST(DeliveryWatch, EveryByteAcknowledgedOnlyAsTheRuleSays)
{
    const auto pending = State::pending, all = State::all, failed = State::failed;
    const bool figure = true;
    Reading over = told(0, false, true);
    over.inconsistent = true;
    const Reading refused{Answer::refused}, error{Answer::failed},
        zero = told(0, false, true), closedZero = told(0, true, true),
        resent = told(0, false, true, 150, 50), timedOut = told(0, false, true, 100, 0, 1),
        owed = told(10, false, true, 100, 0, 1), fast = told(0, false, true, 100, 0, 0, 100),
        slow = told(0, false, true, 100, 0, 0, 6000);
    // clang-format off
    const std::vector<std::pair<const char*, std::vector<Poll>>> rows{
        {"the figure never goes back, then an error", {{0, told(40), pending, 60, figure},
            {5, told(50), pending, 60, figure}, {9, told(250), pending, 60, figure},
            {10, over, pending, 60, figure}, {12, error, failed}, {15, told(0), failed, 60, figure}}},
        {"an error at the first query", {{0, error, failed}}},
        {"refused first", {{0, refused, State::unknown}, {5, told(9), State::unknown}}},
        {"refused at the first reading for the figure", {{0, refused, State::unknown, 100, figure},
            {5, told(9), State::unknown}}},
        {"refused after an answer", {{0, told(10), pending}, {5, refused, failed}}},
        {"refused at the end after answers for the figure", {{0, told(40), pending, 60, figure},
            {5, refused, failed}}},
        {"all, then closed", {{0, told(20), pending}, {5, told(0, true), all},
            {9, error, all, 100, figure}}},
        {"closed with bytes outstanding", {{0, told(20, true), failed}}},
        {"closed before a 0 was read while established", {{0, told(10, false, true), pending},
            {5, closedZero, failed}}},
        {"closed at the first reading of the end", {{0, closedZero, failed}}},
        {"more acknowledged than written", {{0, over, pending}, {20, over, pending},
            {30, zero, pending}, {35, over, pending}, {45, zero, pending}, {55, zero, all}}},
        {"10 ms at least", {{0, fast, pending}, {9.9, fast, pending}, {10, fast, all}}},
        {"the longer round trip", {{0, zero, pending}, {10, slow, pending}, {12, slow, all}}},
        {"a retransmission between", {{0, zero, pending}, {20, resent, pending},
            {29, resent, pending}, {30, resent, all}}},
        {"a time-out, then bytes owed, between", {{0, zero, pending}, {20, timedOut, pending},
            {40, owed, pending}, {45, timedOut, pending}, {55, timedOut, all}}},
        {"closed after a 0", {{0, zero, pending}, {9, closedZero, pending}, {10, closedZero, all}}},
    };
    // clang-format on
    for (const auto& [what, polls] : rows)
    {
        SCOPED_TRACE(what);
        double now = 0;
        Reading next;
        DeliveryWatch watch([&](std::uint64_t) { return next; }, [&] { return now; });
        for (const Poll& poll : polls)
        {
            now = poll.atMs;
            next = poll.reading;
            if (!poll.progress)
            {
                EXPECT_EQ(watch.poll(100), poll.expected) << poll.atMs;
                continue;
            }
            const DeliveryWatch::Progress p = watch.progress(100);
            EXPECT_EQ(p.acknowledged, poll.acknowledged) << poll.atMs;
            EXPECT_EQ(p.systemTells, poll.expected != State::unknown) << poll.atMs;
        }
    }
}
