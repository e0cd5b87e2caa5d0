// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/CommandLine.h"

namespace
{
using Settings = CommandLine::Settings;

void takeFile(Settings& s, const juce::String& path)
{
    // The check and the sending take the update file as the program's file
    // with its extension made ".upd": a file already named so is taken as it
    // is, where it is.
    s.programFile = juce::File::getCurrentWorkingDirectory().getChildFile(path);
    if (path.isEmpty() || !s.programFile.getFileName().endsWith(".upd"))
        s.error = "--file needs a file whose name ends in .upd, not \"" + path + "\"";
}

void takeWait(Settings& s, const juce::String& value)
{
    s.waitText = value;
    s.waitSeconds = value.getDoubleValue();
    if (value.isEmpty() || !value.containsOnly("0123456789.") || s.waitSeconds <= 0 ||
        s.waitSeconds > 1.0e6)
        s.error = "--wait needs a number of seconds above 0, not \"" + value + "\"";
}

struct Option
{
    const char* name;
    bool takesValue;
    void (*take)(Settings&, const juce::String& value);
};

const Option options[] = {
    {"--console", false, [](Settings& s, const juce::String&) { s.console = true; }},
    {"--help", false, [](Settings& s, const juce::String&) { s.help = true; }},
    {"-h", false, [](Settings& s, const juce::String&) { s.help = true; }},
    {"--file", true, takeFile},
    {"--wait", true, takeWait},
};
} // namespace

CommandLine::Settings CommandLine::parse(const juce::StringArray& arguments)
{
    Settings s;
    for (int i = 0; i < arguments.size() && s.error.isEmpty(); ++i)
    {
        const juce::String& a = arguments[i];
        const Option* option = nullptr;
        for (const Option& o : options)
            if (a == o.name)
                option = &o;
        if (option == nullptr)
            s.error = "unknown option \"" + a + "\"";
        else if (!option->takesValue)
            option->take(s, {});
        else if (i + 1 >= arguments.size())
            s.error = a + " needs a value";
        else
            option->take(s, arguments[++i]);
    }
    return s;
}

bool CommandLine::asksForConsole(const juce::StringArray& arguments)
{
    return arguments.contains("--console") || arguments.contains("--help") ||
           arguments.contains("-h");
}
