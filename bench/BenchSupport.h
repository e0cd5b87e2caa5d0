// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

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

// The median of values; 0 for none.
double median(std::vector<double> values);
} // namespace BenchSupport
