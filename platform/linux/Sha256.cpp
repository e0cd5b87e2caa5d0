// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Sha256.h"

#include <openssl/err.h>
#include <openssl/evp.h>

struct Sha256::State
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool failed = false;
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state(std::make_unique<State>())
{
    if (state->context == nullptr)
        fail("EVP_MD_CTX_new");
    else if (EVP_DigestInit_ex(state->context, EVP_sha256(), nullptr) != 1)
        fail("EVP_DigestInit_ex(SHA-256)");
}

Sha256::~Sha256() = default;

// libcrypto queues its reasons on the calling thread; they are all taken, so
// that none is left to be mistaken for a later call's.
void Sha256::fail(const char* call)
{
    juce::StringArray reasons;
    for (unsigned long e = ERR_get_error(); e != 0; e = ERR_get_error())
    {
        char text[256] = {};
        ERR_error_string_n(e, text, sizeof(text));
        reasons.add(text);
    }
    if (!state->failed)
        why = juce::String("libcrypto's ") + call + " failed: " +
              (reasons.isEmpty() ? juce::String("no reason given") : reasons.joinIntoString("; "));
    state->failed = true;
}

bool Sha256::add(const void* data, std::size_t size)
{
    if (!state->failed && EVP_DigestUpdate(state->context, data, size) != 1)
        fail("EVP_DigestUpdate");
    return !state->failed;
}

std::optional<Sha256::Digest> Sha256::finish()
{
    if (state->failed)
        return std::nullopt;
    Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state->context, digest.data(), &size) != 1 || size != digest.size())
    {
        fail("EVP_DigestFinal_ex");
        return std::nullopt;
    }
    return digest;
}
