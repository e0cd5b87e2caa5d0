// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <functional>

class OpenFile;

// The first size bytes of an open file as a JUCE input stream (what JUCE's
// SHA256 reads), taken from the file in blocks of blockSize bytes. Each block
// is handed to onBlock as soon as it has been read from the file and before
// any of its bytes are read from this stream, so that what a reader of the
// stream gets is exactly the blocks onBlock saw. The stream ends early when
// the file does, or when onBlock returns false.
class BlockInputStream : public juce::InputStream
{
public:
    using OnBlock = std::function<bool(const char* block, int size)>;

    BlockInputStream(OpenFile& file, juce::int64 size, int blockSize, OnBlock onBlock);

    // True when the file gave fewer bytes than it was to have.
    bool endedShort() const noexcept { return shortFile; }

    juce::int64 getTotalLength() override { return size; }
    bool isExhausted() override { return position >= size || ended; }
    int read(void* destination, int maxBytes) override;
    juce::int64 getPosition() override { return position; }
    bool setPosition(juce::int64 newPosition) override { return newPosition == position; }

private:
    OpenFile& file;
    const juce::int64 size;
    const OnBlock onBlock;
    juce::HeapBlock<char> block;
    const int blockSize;
    int blockFill = 0; // bytes of the current block
    int blockRead = 0; // of them, read from the stream
    juce::int64 position = 0;
    bool ended = false;
    bool shortFile = false;
};
