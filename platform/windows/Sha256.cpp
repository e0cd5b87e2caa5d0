// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Sha256.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <limits>

// CNG's SHA-256 (Windows Vista and later). It fails here only when it cannot
// allocate, which the program cannot go on from either.
struct Sha256::State
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
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
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM,
                                                      nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            ::BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0)))
        throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::add(const void* data, std::size_t size)
{
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0)
    {
        const ULONG n =
            static_cast<ULONG>(std::min<std::size_t>(size, std::numeric_limits<ULONG>::max()));
        if (!BCRYPT_SUCCESS(::BCryptHashData(state->hash, bytes, n, 0)))
            throw std::bad_alloc();
        bytes += n;
        size -= n;
    }
}

Sha256::Digest Sha256::finish()
{
    Digest digest{};
    if (!BCRYPT_SUCCESS(
            ::BCryptFinishHash(state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw std::bad_alloc();
    return digest;
}
