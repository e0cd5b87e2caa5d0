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

Reading told(std::uint64_t unacknowledged, bool closed = false)
{
    Reading r;
    r.answer = Answer::answered;
    r.closed = closed;
    r.unacknowledged = unacknowledged;
    return r;
}

Reading untold(Answer answer)
{
    Reading r;
    r.answer = answer;
    return r;
}

// A reading that asks for confirmation, with Windows' counters.
Reading counted(std::uint64_t unacknowledged, std::uint64_t out, std::uint64_t retransmitted,
                std::uint32_t timeouts, std::uint32_t roundTripUs, bool closed = false)
{
    Reading r = told(unacknowledged, closed);
    r.needsConfirmation = true;
    r.bytesOut = out;
    r.bytesRetransmitted = retransmitted;
    r.timeoutEpisodes = timeouts;
    r.roundTripUs = roundTripUs;
    return r;
}

struct Poll
{
    double atMs;
    std::uint64_t written;
    Reading reading;
    State expected;
    std::uint64_t acknowledged;
};
} // namespace

TEST(DeliveryWatch, EveryByteAcknowledgedOnlyAsTheRuleSays)
{
    const Reading refused = untold(Answer::refused), error = untold(Answer::failed);
    const struct
    {
        const char* what;
        std::vector<Poll> polls;
    } rows[]{
        {"pending, then an error",
         {{0, 100, told(40), State::pending, 60}, {5, 100, error, State::failed, 60}}},
        {"an error at the first query", {{0, 100, error, State::failed, 0}}},
        {"first query refused",
         {{0, 100, refused, State::unknown, 100}, {5, 150, told(0), State::unknown, 150}}},
        {"refused after an answer",
         {{0, 100, told(10), State::pending, 90}, {5, 100, refused, State::failed, 90}}},
        {"all, then closed",
         {{0, 100, told(20), State::pending, 80}, {5, 100, told(0, true), State::all, 100}}},
        {"all stays all",
         {{0, 100, told(0), State::all, 100}, {5, 100, told(100, true), State::all, 100}}},
        {"closed with bytes outstanding", {{0, 100, told(20, true), State::failed, 80}}},
        {"acknowledged never goes back",
         {{0, 100, told(30), State::pending, 70},
          {5, 120, told(60), State::pending, 70},
          {10, 200, told(20), State::pending, 180},
          {15, 200, told(250), State::pending, 180}}},
        {"confirmed 2 round trips later",
         {{0, 100, counted(0, 100, 0, 0, 8000), State::pending, 100},
          {15.9, 100, counted(0, 100, 0, 0, 8000), State::pending, 100},
          {16, 100, counted(0, 100, 0, 0, 8000), State::all, 100}}},
        {"confirmed no sooner than 10 ms",
         {{0, 100, counted(0, 100, 0, 0, 100), State::pending, 100},
          {9.9, 100, counted(0, 100, 0, 0, 100), State::pending, 100},
          {10, 100, counted(0, 100, 0, 0, 100), State::all, 100}}},
        {"the longer round trip of the two counts",
         {{0, 100, counted(0, 100, 0, 0, 1000), State::pending, 100},
          {10, 100, counted(0, 100, 0, 0, 6000), State::pending, 100},
          {12, 100, counted(0, 100, 0, 0, 6000), State::all, 100}}},
        {"a retransmission between",
         {{0, 100, counted(0, 100, 0, 0, 1000), State::pending, 100},
          {20, 100, counted(0, 150, 50, 0, 1000), State::pending, 100},
          {29, 100, counted(0, 150, 50, 0, 1000), State::pending, 100},
          {30, 100, counted(0, 150, 50, 0, 1000), State::all, 100}}},
        {"a time-out between",
         {{0, 100, counted(0, 100, 0, 0, 1000), State::pending, 100},
          {20, 100, counted(0, 100, 0, 1, 1000), State::pending, 100},
          {25, 100, counted(0, 100, 0, 1, 1000), State::pending, 100}}},
        {"bytes outstanding between",
         {{0, 100, counted(0, 100, 0, 0, 1000), State::pending, 100},
          {20, 100, counted(10, 100, 0, 0, 1000), State::pending, 100},
          {25, 100, counted(0, 100, 0, 0, 1000), State::pending, 100}}},
        {"closed after a 0, confirmed",
         {{0, 100, counted(0, 100, 0, 0, 1000), State::pending, 100},
          {20, 100, counted(0, 100, 0, 0, 1000, true), State::all, 100}}},
        {"closed with bytes outstanding, counted",
         {{0, 100, counted(30, 70, 0, 0, 1000, true), State::failed, 70}}},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.what);
        double now = 0;
        Reading next;
        DeliveryWatch watch([&](std::uint64_t) { return next; }, [&] { return now; });
        for (const Poll& poll : row.polls)
        {
            SCOPED_TRACE(poll.atMs);
            now = poll.atMs;
            next = poll.reading;
            EXPECT_EQ(watch.poll(poll.written), poll.expected);
            EXPECT_EQ(watch.acknowledged(), poll.acknowledged);
        }
        EXPECT_EQ(watch.systemTells(), row.polls.front().reading.answer != Answer::refused);
    }
}
