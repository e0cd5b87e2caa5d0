// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "SendClock.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

// What the transfer benchmarks share: a loopback connection standing in for a
// mixer's, and the median of their figures.
namespace BenchSupport
{
// A loopback connection: the program's side as a StreamingSocket, the other
// side's handle in peer; null when the system refuses one.
std::unique_ptr<juce::StreamingSocket> connectLoopback(int& peer);

// The pauses in ms, as the sending thread saw them, between the end of each
// content piece's write and the start of the next write, from the sends of a
// stream of total bytes (the length's included). A write that handed over part
// of a piece is followed by the rest without a pause: only piece ends count.
std::vector<double> piecePauses(const std::vector<SendClock::Send>& sends, long long total);

// The median of values; 0 for none.
double median(std::vector<double> values);
} // namespace BenchSupport
