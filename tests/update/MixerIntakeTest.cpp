// KVR516_UPDATE, GPL-3.0-or-later.
// Mixers told apart by their address.
#include "update/MixerIntake.h"

#include <gtest/gtest.h>

namespace
{
MixerDelivery::Report mixer(const char* address, bool ended, StageResult result, int attempt = 1)
{
    MixerDelivery::Report r;
    r.address = address;
    r.ended = ended;
    r.result = result;
    r.attempt = attempt;
    return r;
}
} // namespace

TEST(MixerIntake, EachConnectionIsANewMixerAnotherTryOrTurnedAway)
{
    using A = MixerIntake::Admission;
    const auto ok = StageResult::success;
    const auto reset = StageResult::code2;
    const std::vector<MixerDelivery::Report> twoCome = {
        mixer("198.51.100.20", true, ok), mixer("198.51.100.21", false, StageResult::code4)};
    struct Row
    {
        const char* address;
        std::vector<MixerDelivery::Report> come;
        int wanted;
        A admission;
        std::size_t place;
        int attempt;
        juce::StringArray onlyFrom = {};
    };
    const Row rows[] = {
        {"198.51.100.20", {}, 1, A::newMixer, 0, 1},
        {"198.51.100.22", twoCome, 3, A::newMixer, 2, 1},
        {"198.51.100.22", twoCome, 2, A::turnedAway, 2, 1}, // every mixer asked for came
        {"198.51.100.20", twoCome, 3, A::turnedAway, 0, 1}, // it has its file
        {"198.51.100.21", twoCome, 3, A::turnedAway, 1, 1}, // its send is under way
        {"198.51.100.21", {mixer("198.51.100.21", true, ok, 2)}, 2, A::turnedAway, 0, 1},
        {"198.51.100.20", {mixer("198.51.100.20", true, reset)}, 2, A::nextTry, 0, 2},
        {"198.51.100.20", {mixer("198.51.100.20", true, reset)}, 1, A::nextTry, 0, 2},
        {"198.51.100.20",
         {mixer("198.51.100.20", true, StageResult::code3, 2)},
         1,
         A::nextTry,
         0,
         3},
        {"198.51.100.20", {mixer("198.51.100.20", false, reset)}, 2, A::turnedAway, 0, 1},
        {"198.51.100.22", {}, 2, A::newMixer, 0, 1, {"198.51.100.21", "198.51.100.22"}},
        {"198.51.100.20", {}, 2, A::turnedAway, 0, 1, {"198.51.100.21", "198.51.100.22"}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::string(row.address) + ", " + std::to_string(row.come.size()) +
                     " come of " + std::to_string(row.wanted));
        const MixerIntake::Decision d =
            MixerIntake::admit(row.address, row.come, row.wanted, row.onlyFrom);
        EXPECT_EQ(d.admission, row.admission);
        EXPECT_EQ(d.place, row.place);
        if (row.admission != A::turnedAway)
            EXPECT_EQ(d.attempt, row.attempt);
        else
            EXPECT_STRNE(d.why, "");
    }
}
