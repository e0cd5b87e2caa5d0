// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

// An SHA-256 taken piece by piece, by the system's own cryptography library
// (libcrypto on Linux, CNG on Windows). The library may refuse (libcrypto
// told by OPENSSL_CONF to load a provider that is not there, a policy that
// leaves no SHA-256, no memory): the hash then stays failed, every call after
// says so, and failure() gives the library's own words; none of this is thrown.
class Sha256
{
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the library has failed, now or before.
    bool add(const void* data, std::size_t size);
    // The digest of every byte added, or none when the library has failed;
    // the hash is used up by it.
    std::optional<Digest> finish();

    // Why the library failed; empty while it has not.
    juce::String failure() const { return why; }

    // The digest of size bytes at data, at once; none when the library fails.
    static std::optional<Digest> of(const void* data, std::size_t size);
    // 64 lower-case hex digits.
    static juce::String hex(const Digest& digest);

private:
    // Keeps the first failure: what was asked of the library, and its words.
    void fail(const char* call);

    struct State;
    std::unique_ptr<State> state;
    juce::String why;
};
