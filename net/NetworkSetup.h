// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/UpdateFile.h"
#include "platform/InterfaceQuery.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <functional>
#include <vector>

// The outcome of the initialise stage: the update file beside the program is
// checked and measured (its size and SHA-256), then the computer's IPv4
// addresses are listed with their directed broadcast addresses. Built once and
// read-only afterwards.
class NetworkSetup
{
public:
    // The values are the codes the user sees (I4, I5, I6, I9).
    enum class Result : std::int32_t
    {
        ok = 0,
        noUpdateFile = 4,
        noNetworking = 5,
        noInterfaceList = 6,
        onlyLoopback = 9
    };

    // One network the computer is on: its address there and the network's
    // directed broadcast address, in dotted decimal.
    struct Network
    {
        juce::String address;
        juce::String broadcastAddress;
    };

    // Checks the file beside the running program and lists the system's interfaces.
    NetworkSetup();

    // True when the check is to end early (the stage is cancelled).
    using StopRequested = std::function<bool()>;

    // Checks the file beside programFile and lists what query reports. The
    // check asks stopRequested between the blocks it reads, so that a stop
    // is answered at once whatever the file's size; stopped, the result is
    // noUpdateFile and nothing is listed.
    NetworkSetup(const juce::File& programFile, InterfaceQuery& query,
                 const StopRequested& stopRequested = {});

    Result getResult() const noexcept { return result; }

    // The update file as the check found it; its size is -1 unless the check passed.
    const UpdateFile::Measure& getUpdateFile() const noexcept { return updateFile; }

    int getNumAddresses() const noexcept { return static_cast<int>(addresses.size()); }

    // Entry index of the lists; an index outside 0 to count - 1 throws std::out_of_range.
    juce::String getAddress(int index) const;
    juce::String getBroadcastAddress(int index) const;

    // The networks query reports now, in its order, every address but
    // 127.0.0.1: ok, or why there are none (noNetworking, noInterfaceList,
    // onlyLoopback).
    static Result listNetworks(InterfaceQuery& query, std::vector<Network>& networks);

private:
    Result findUpdateFile(const juce::File& programFile, const StopRequested& stopRequested);
    Result findInterfaces(InterfaceQuery& query);

    Result result = Result::ok;
    UpdateFile::Measure updateFile;
    std::vector<juce::String> addresses;
    std::vector<juce::String> broadcastAddresses;
};
