// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

// Each row: the arguments, then what the run is set to or why it is refused.
TEST(CommandLine, OptionsBecomeSettingsOrAReason)
{
    struct Row
    {
        std::vector<const char*> arguments;
        bool console, help;
        const char* file; // the update file's name, "" for the default
        double wait;
        const char* error; // a part of the reason, "" when understood
        double stall = CommandLine::defaultStallSeconds;
        bool version = false;
        int mixers = 1;
    };
    const Row rows[] = {
        {{}, false, false, "", -1, ""},
        {{"--console"}, true, false, "", -1, ""},
        {{"-h"}, false, true, "", -1, ""},
        {{"--console", "--file", "x/KVR 2.upd", "--wait", "2.5"},
         true,
         false,
         "KVR 2.upd",
         2.5,
         ""},
        {{"--console", "--file", "firmware.bin"}, true, false, "", -1, "ends in .upd"},
        {{"--console", "--file", ""}, true, false, "", -1, "ends in .upd"},
        {{"--console", "--file"}, true, false, "", -1, "--file needs a value"},
        {{"--wait", "0"}, false, false, "", 0, "above 0"},
        {{"--wait", "-3"}, false, false, "", -1, "above 0"},
        {{"--wait", "5s"}, false, false, "", 5, "above 0"},
        {{"--wait", "2000000"}, false, false, "", 2.0e6, "above 0"},
        {{"--console", "--mixer"}, true, false, "", -1, "unknown option \"--mixer\""},
        {{"--console", "--wait", "1000000", "--stall", "3"}, true, false, "", 1.0e6, "", 3},
        {{"--console", "--version"}, true, false, "", -1, "", 120, true},
        {{"--file", "x/ファームウェア 2/更新.upd"}, false, false, "更新.upd", -1, ""},
        {{"--console", "--wait", "1.2.3"}, true, false, "", -1, "--wait needs a number"},
        {{"--console", "--wait", "1."}, true, false, "", -1, "--wait needs a number"},
        {{"--console", "--wait", "1e3"}, true, false, "", -1, "--wait needs a number"},
        {{"--console", "--wait", "1000000.1"}, true, false, "", -1, "--wait needs a number"},
        {{"--console", "--stall", ""}, true, false, "", -1, "--stall needs a number"},
        {{"--console", "--stall", "0.1"}, true, false, "", -1, "at least 2 seconds"},
        {{"--console", "--stall", "1.9"}, true, false, "", -1, "not \"1.9\""},
        {{"--console", "--stall", "2"}, true, false, "", -1, "", 2},
        {{"--console", "--file", "a.upd", "--file", "b.upd"},
         true,
         false,
         "",
         -1,
         "more than once"},
        {{"--wait", "1", "--console", "--wait", "2"}, true, false, "", -1, "more than once"},
        {{"--wait", "5"}, false, false, "", -1, "--wait is for the console run"},
        {{"--file", "a.upd", "--stall", "5"}, false, false, "", -1, "--stall is for the console"},
        {{"--console", "--mixers", "64"}, true, false, "", -1, "", 120, false, 64},
        {{"--console", "--mixers", "1"}, true, false, "", -1, "", 120, false, 1},
        {{"--console", "--mixers", "65"}, true, false, "", -1, "from 1 to 64, not \"65\""},
        {{"--console", "--mixers", "0"}, true, false, "", -1, "--mixers needs a whole number"},
        {{"--console", "--mixers", "+3"}, true, false, "", -1, "--mixers needs a whole number"},
        {{"--console", "--mixers", "003"}, true, false, "", -1, "--mixers needs a whole number"},
        {{"--mixers", "3"}, false, false, "", -1, "", 120, false, 3},
        {{"--mixers", "65"}, false, false, "", -1, "from 1 to 64, not \"65\""},
        {{"--report", "r.json", "--retry", "r.json"}, false, false, "", -1, ""},
        {{"--console", "--report", ""}, true, false, "", -1, "--report needs a file"},
        {{"--console", "--retry", "-"}, true, false, "", -1, "--retry needs the file"},
        {{"--console", "--retry", "r.json", "--mixers", "2"}, true, false, "", -1, "cannot go"},
    };
    for (const Row& row : rows)
    {
        juce::StringArray arguments;
        for (const char* a : row.arguments)
            arguments.add(juce::String::fromUTF8(a));
        SCOPED_TRACE(arguments.joinIntoString(" ").toStdString());
        const CommandLine::Settings s = CommandLine::parse(arguments);
        if (*row.error != 0)
        {
            EXPECT_TRUE(s.error.contains(row.error)) << s.error;
            continue;
        }
        EXPECT_EQ(s.error, "");
        EXPECT_EQ(s.console, row.console);
        EXPECT_EQ(s.help, row.help);
        EXPECT_EQ(s.programFile.getFileName(), juce::String::fromUTF8(row.file));
        EXPECT_EQ(s.waitSeconds, row.wait);
        EXPECT_EQ(s.stallSeconds, row.stall);
        EXPECT_EQ(s.stallText.getDoubleValue(), row.stall);
        EXPECT_EQ(s.version, row.version);
        EXPECT_EQ(s.mixers, row.mixers);
        EXPECT_EQ(CommandLine::asksForConsole(arguments), row.console || row.help);
    }
}
