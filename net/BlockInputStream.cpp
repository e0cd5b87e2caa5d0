// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/BlockInputStream.h"

#include "platform/OpenFile.h"

BlockInputStream::BlockInputStream(OpenFile& f, juce::int64 s, int bs, OnBlock hook)
    : file(f), size(s), onBlock(std::move(hook)), block(static_cast<size_t>(bs)), blockSize(bs)
{
}

int BlockInputStream::read(void* destination, int maxBytes)
{
    auto* to = static_cast<char*>(destination);
    int copied = 0;
    while (copied < maxBytes && !isExhausted())
    {
        if (blockRead == blockFill)
        {
            const int next = static_cast<int>(juce::jmin<juce::int64>(blockSize, size - position));
            if (!file.readExactly(block.get(), next))
            {
                shortFile = true;
                ended = true;
                break;
            }
            if (!onBlock(block.get(), next))
            {
                ended = true;
                break;
            }
            blockFill = next;
            blockRead = 0;
        }
        const int n = juce::jmin(maxBytes - copied, blockFill - blockRead);
        std::memcpy(to + copied, block.get() + blockRead, static_cast<size_t>(n));
        blockRead += n;
        copied += n;
        position += n;
    }
    return copied;
}
