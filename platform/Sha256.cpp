// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Sha256.h"

std::optional<Sha256::Digest> Sha256::of(const void* data, std::size_t size)
{
    Sha256 hash;
    hash.add(data, size);
    return hash.finish();
}

juce::String Sha256::hex(const Digest& digest)
{
    return juce::String::toHexString(digest.data(), static_cast<int>(digest.size()), 0);
}
