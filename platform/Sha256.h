// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// An SHA-256 taken piece by piece, by the system's own cryptography library
// (libcrypto on Linux, CNG on Windows).
class Sha256
{
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const void* data, std::size_t size);
    // The digest of every byte added; the hash is used up by it.
    Digest finish();

    // The digest of size bytes at data, at once.
    static Digest of(const void* data, std::size_t size);
    // 64 lower-case hex digits.
    static juce::String hex(const Digest& digest);

private:
    struct State;
    std::unique_ptr<State> state;
};
