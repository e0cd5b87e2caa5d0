// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ConsoleOutput.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{
void put(std::FILE* stream, const juce::String& text)
{
    const char* bytes = text.toRawUTF8();
    std::fwrite(bytes, 1, std::strlen(bytes), stream);
    std::fflush(stream);
}
} // namespace

void ConsoleOutput::prepare() {}

void ConsoleOutput::finish() {}

bool ConsoleOutput::isTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

void ConsoleOutput::write(const juce::String& text)
{
    put(stdout, text);
}

void ConsoleOutput::writeError(const juce::String& text)
{
    put(stderr, text);
}
