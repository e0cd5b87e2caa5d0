// KVR516_UPDATE, GPL-3.0-or-later.
// The rule that says when the peer has acknowledged every byte, fed one
// reading of the system per poll at given times.
#include "net/DeliveryWatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Answer = Acknowledgement::Answer;
using Reading = Acknowledgement::Reading;
using State = DeliveryWatch::State;

const Reading refused{Answer::refused}, error{Answer::failed};
Reading told(std::uint64_t unacknowledged, bool closed = false)
{
    return {Answer::answered, 0, closed, unacknowledged};
}
// With Windows' counters, to be confirmed: bytes out, sent again, time-outs, round trip.
Reading win(std::uint64_t unacknowledged, std::uint64_t out, std::uint64_t again,
            std::uint32_t timeouts, std::uint32_t roundTripUs, bool closed = false)
{
    return {Answer::answered, 0, closed, unacknowledged, true, out, again, timeouts, roundTripUs};
}

struct Poll
{
    double atMs;
    Reading reading;
    State expected;
    std::uint64_t acknowledged = 100;
    std::uint64_t written = 100;
};
} // namespace

TEST(DeliveryWatch, EveryByteAcknowledgedOnlyAsTheRuleSays)
{
    const auto pending = State::pending, all = State::all, failed = State::failed,
               unknown = State::unknown;
    // clang-format off
    const std::vector<std::pair<const char*, std::vector<Poll>>> rows{
        {"pending, then an error", {{0, told(40), pending, 60}, {5, error, failed, 60}}},
        {"an error at the first query", {{0, error, failed, 0}}},
        {"refused first", {{0, refused, unknown}, {5, told(9), unknown, 150, 150}}},
        {"refused after an answer", {{0, told(10), pending, 90}, {5, refused, failed, 90}}},
        {"all, then closed", {{0, told(20), pending, 80}, {5, told(0, true), all}}},
        {"all stays all", {{0, told(0), all}, {5, told(100, true), all}}},
        {"closed with bytes outstanding", {{0, told(20, true), failed, 80}}},
        {"acknowledged never goes back", {{0, told(30), pending, 70},
            {5, told(60), pending, 70, 120}, {9, told(20), pending, 180, 200},
            {15, told(250), pending, 180, 200}}},
        {"2 round trips", {{0, win(0, 100, 0, 0, 8000), pending},
            {15.9, win(0, 100, 0, 0, 8000), pending}, {16, win(0, 100, 0, 0, 8000), all}}},
        {"10 ms at least", {{0, win(0, 100, 0, 0, 100), pending},
            {9.9, win(0, 100, 0, 0, 100), pending}, {10, win(0, 100, 0, 0, 100), all}}},
        {"the longer round trip", {{0, win(0, 100, 0, 0, 1000), pending},
            {10, win(0, 100, 0, 0, 6000), pending}, {12, win(0, 100, 0, 0, 6000), all}}},
        {"a retransmission between", {{0, win(0, 100, 0, 0, 1000), pending},
            {20, win(0, 150, 50, 0, 1000), pending}, {29, win(0, 150, 50, 0, 1000), pending},
            {30, win(0, 150, 50, 0, 1000), all}}},
        {"a time-out, then bytes outstanding, between", {{0, win(0, 100, 0, 0, 1000), pending},
            {20, win(0, 100, 0, 1, 1000), pending}, {40, win(10, 100, 0, 1, 1000), pending},
            {45, win(0, 100, 0, 1, 1000), pending}, {54, win(0, 100, 0, 1, 1000), pending}}},
        {"closed after a 0", {{0, win(0, 100, 0, 0, 1000), pending},
            {20, win(0, 100, 0, 0, 1000, true), all}}},
        {"closed, counted, outstanding", {{0, win(30, 70, 0, 0, 1000, true), failed, 70}}},
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
            EXPECT_EQ(watch.poll(poll.written), poll.expected) << poll.atMs;
            EXPECT_EQ(watch.acknowledged(), poll.acknowledged) << poll.atMs;
        }
        EXPECT_EQ(watch.systemTells(), polls.front().reading.answer != Answer::refused);
    }
}
