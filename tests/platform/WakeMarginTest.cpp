// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/WakeMargin.h"

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;

namespace
{
struct Observed
{
    WakeMargin::Duration lateness;
    int times;
};

struct Row
{
    const char* what;
    std::vector<Observed> observed;
    WakeMargin::Duration lowest;
    WakeMargin::Duration highest;
};

std::vector<Observed> twentyTimes(const std::vector<Observed>& pattern)
{
    std::vector<Observed> all;
    for (int i = 0; i < 20; ++i)
        all.insert(all.end(), pattern.begin(), pattern.end());
    return all;
}
} // namespace

TEST(WakeMarginTest, FollowsTheLatenessItSeesWithinItsBound)
{
    const std::vector<Row> rows{
        {"nothing seen yet", {}, 0us, 0us},
        {"wake-ups on time", {{0us, 100}, {-5us, 100}}, 0us, 0us},
        {"60 us late every time", {{60us, 200}}, 59us, 69us},
        {"slow timers, then fast ones", {{60us, 200}, {5us, 200}}, 4us, 14us},
        {"fast timers, then slow ones", {{5us, 200}, {80us, 200}}, 79us, 89us},
        {"one wake-up 5 ms late among 60 us ones", {{60us, 200}, {5ms, 1}}, 59us, 78us},
        {"every wake-up later than the bound", {{5ms, 1000}}, 1ms, 1ms},
        {"one wake-up in twenty 100 us late, the others 20 us",
         twentyTimes({{20us, 19}, {100us, 1}}), 19us, 37us},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.what);
        WakeMargin margin(1ms);
        for (const auto& o : row.observed)
            for (int i = 0; i < o.times; ++i)
                margin.observe(o.lateness);
        EXPECT_GE(margin.get(), row.lowest);
        EXPECT_LE(margin.get(), row.highest);
    }
}
