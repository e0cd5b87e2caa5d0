// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Sha256.h"

#include <openssl/evp.h>

struct Sha256::State
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

// libcrypto fails here only when it cannot allocate, which the program cannot
// go on from either.
Sha256::Sha256() : state(std::make_unique<State>())
{
    if (state->context == nullptr || EVP_DigestInit_ex(state->context, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::add(const void* data, std::size_t size)
{
    if (EVP_DigestUpdate(state->context, data, size) != 1)
        throw std::bad_alloc();
}

Sha256::Digest Sha256::finish()
{
    Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state->context, digest.data(), &size) != 1 || size != digest.size())
        throw std::bad_alloc();
    return digest;
}
