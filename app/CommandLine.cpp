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

// Seconds as digits with at most one decimal point ("1.2.3", "5s", "1e3" and
// "" are refused), above 0 and at most maxSeconds.
bool takeSeconds(Settings& s, const char* option, const juce::String& value, double& seconds,
                 juce::String& text)
{
    text = value;
    const juce::String whole = value.upToFirstOccurrenceOf(".", false, false);
    const juce::String fraction = value.fromFirstOccurrenceOf(".", false, false);
    seconds = value.getDoubleValue();
    const bool digits = whole.isNotEmpty() && whole.containsOnly("0123456789") &&
                        fraction.containsOnly("0123456789") &&
                        (fraction.isNotEmpty() || !value.containsChar('.'));
    if (digits && seconds > 0 && seconds <= CommandLine::maxSeconds)
        return true;
    s.error = juce::String(option) + " needs a number of seconds above 0 and at most " +
              juce::String(static_cast<juce::int64>(CommandLine::maxSeconds)) + ", not \"" + value +
              "\"";
    return false;
}

void takeWait(Settings& s, const juce::String& value)
{
    takeSeconds(s, "--wait", value, s.waitSeconds, s.waitText);
}

void takeStall(Settings& s, const juce::String& value)
{
    if (takeSeconds(s, "--stall", value, s.stallSeconds, s.stallText) &&
        s.stallSeconds < CommandLine::minStallSeconds)
        s.error = "--stall needs at least " +
                  juce::String(static_cast<int>(CommandLine::minStallSeconds)) +
                  " seconds (what the mixer has taken is read every 0.1 s), not \"" + value + "\"";
}

// A whole number of mixers, digits only, from 1 to maxMixers.
void takeMixers(Settings& s, const juce::String& value)
{
    s.mixers = value.getIntValue();
    s.mixersGiven = true;
    if (value.isEmpty() || value.length() > 2 || !value.containsOnly("0123456789") ||
        s.mixers < 1 || s.mixers > CommandLine::maxMixers)
        s.error = "--mixers needs a whole number from 1 to " +
                  juce::String(CommandLine::maxMixers) + ", not \"" + value + "\"";
}

// A path, not empty; "-" is standard output for --report only.
void takeReport(Settings& s, const juce::String& value)
{
    s.reportPath = value;
    if (value.isEmpty())
        s.error = "--report needs a file to write (or - for standard output)";
}

void takeRetry(Settings& s, const juce::String& value)
{
    s.retryPath = value;
    if (value.isEmpty() || value == "-")
        s.error = "--retry needs the file of an earlier run's report, not \"" + value + "\"";
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
    {"--stall", true, takeStall},
    {"--mixers", true, takeMixers},
    {"--report", true, takeReport},
    {"--retry", true, takeRetry},
    {"--version", false, [](Settings& s, const juce::String&) { s.version = true; }},
};

// The options only the console run takes: the window waits as long as the
// user lets it. --mixers sets the window's count of mixers; --report and
// --retry are the window's as well.
const char* const consoleOnly[] = {"--wait", "--stall"};
} // namespace

CommandLine::Settings CommandLine::parse(const juce::StringArray& arguments)
{
    Settings s;
    juce::StringArray given;
    for (int i = 0; i < arguments.size() && s.error.isEmpty(); ++i)
    {
        const juce::String& a = arguments[i];
        const Option* option = nullptr;
        for (const Option& o : options)
            if (a == o.name)
                option = &o;
        if (option == nullptr)
            s.error = "unknown option \"" + a + "\"";
        else if (given.contains(a))
            s.error = a + " is given more than once";
        else if (!option->takesValue)
            option->take(s, {});
        else if (i + 1 >= arguments.size())
            s.error = a + " needs a value";
        else
            option->take(s, arguments[++i]);
        given.add(a);
    }
    if (s.error.isEmpty() && !s.console && !s.help && !s.version)
        for (const char* name : consoleOnly)
            if (given.contains(name))
                s.error = juce::String(name) + " is for the console run (--console) only";
    if (s.error.isEmpty() && s.mixersGiven && s.retryPath.isNotEmpty())
        s.error = "--retry waits for the mixers its report names: --mixers cannot go with it";
    return s;
}

bool CommandLine::asksForConsole(const juce::StringArray& arguments)
{
    return arguments.contains("--console") || arguments.contains("--help") ||
           arguments.contains("-h") || arguments.contains("--version");
}
