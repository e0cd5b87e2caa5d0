// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Sha256.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <limits>

// CNG's SHA-256 (Windows Vista and later); each call returns an NTSTATUS.
struct Sha256::State
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    NTSTATUS last = 0; // the status of the call that failed
    bool failed = false;
    ~State()
    {
        if (hash != nullptr)
            ::BCryptDestroyHash(hash);
        if (algorithm != nullptr)
            ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

// The hash object's memory is CNG's own (a null buffer).
Sha256::Sha256() : state(std::make_unique<State>())
{
    if (!BCRYPT_SUCCESS(state->last = ::BCryptOpenAlgorithmProvider(
                            &state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        fail("BCryptOpenAlgorithmProvider(SHA256)");
    else if (!BCRYPT_SUCCESS(state->last = ::BCryptCreateHash(state->algorithm, &state->hash,
                                                              nullptr, 0, nullptr, 0, 0)))
        fail("BCryptCreateHash");
}

Sha256::~Sha256() = default;

void Sha256::fail(const char* call)
{
    if (!state->failed)
        why = juce::String("CNG's ") + call + " failed: NTSTATUS 0x" +
              juce::String::toHexString(static_cast<juce::uint32>(state->last)).paddedLeft('0', 8);
    state->failed = true;
}

bool Sha256::add(const void* data, std::size_t size)
{
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (!state->failed && size > 0)
    {
        const ULONG n =
            static_cast<ULONG>(std::min<std::size_t>(size, std::numeric_limits<ULONG>::max()));
        if (!BCRYPT_SUCCESS(state->last = ::BCryptHashData(state->hash, bytes, n, 0)))
            fail("BCryptHashData");
        bytes += n;
        size -= n;
    }
    return !state->failed;
}

std::optional<Sha256::Digest> Sha256::finish()
{
    if (state->failed)
        return std::nullopt;
    Digest digest{};
    if (!BCRYPT_SUCCESS(state->last = ::BCryptFinishHash(state->hash, digest.data(),
                                                         static_cast<ULONG>(digest.size()), 0)))
    {
        fail("BCryptFinishHash");
        return std::nullopt;
    }
    return digest;
}
