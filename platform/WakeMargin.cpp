// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/WakeMargin.h"

#include <algorithm>

WakeMargin::WakeMargin(Duration b) : bound(std::max(b, Duration::zero())) {}

void WakeMargin::observe(Duration lateness)
{
    if (lateness > margin)
        margin = std::min(bound, margin + step * raiseSteps);
    else
        margin = std::max(Duration::zero(), margin - step);
}
