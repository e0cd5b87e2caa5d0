// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ProgressText.h"
#include "resources/FakeLocaleQuery.h"
#include "resources/TxtLoader.h"
#include "ui/NoMixerHint.h"

#include <gtest/gtest.h>

TEST(ProgressText, FiguresGiveTheLineOfTheirLanguage)
{
    struct Row
    {
        SendProgress::Figures figures; // taken, total, rate, left, stalled, acknowledged,
                                       // finished, all written (a reading when the line is not "")
        int language;
        const char* line;
    } rows[] = {
        {{3100000, 8400000, 1.0e6, 4.3, 0, true, false},
         0,
         "3.1 MB of 8.4 MB · 1.0 MB/s · about 5 s left"},
        {{8399999, 8400000, 2.5e6, 0.0001, 0, true, false},
         0,
         "8.3 MB of 8.4 MB · 2.5 MB/s · about 1 s left"},
        {{3100000, 8400000, 0, -1, 0, true, false}, 0, "3.1 MB of 8.4 MB"},
        {{3100000, 8400000, 1.0e6, -1, 0, true, false}, 0, "3.1 MB of 8.4 MB"},
        {{3100000, 8400000, 0, -1, 12.4, true, false},
         0,
         "The mixer has taken nothing for 12 s. Check its cable and power, or Cancel."},
        {{8400000, 8400000, 1.0e6, 0, 7, true, true}, 0, "8.4 MB of 8.4 MB"},
        {{0, 8400000, 0, -1, 0, true, false}, 0, ""},
        {{3100000, 8400000, 45400, 117, 0, true, false},
         0,
         "3.1 MB of 8.4 MB · 45 kB/s · about 117 s left"},
        {{8300000, 8400000, 2.5e6, -1, 0, true, false, true}, 0, "8.3 MB of 8.4 MB · 2.5 MB/s"},
        {{3100000, 8400000, 1.0e6, 4.3, 0, false, false},
         0,
         "3.1 MB of 8.4 MB written (unconfirmed) · 1.0 MB/s · about 5 s left"},
        {{3100000, 8400000, 1.0e6, 4.3, 0, true, false},
         1,
         "8.4 MB 中 3.1 MB 転送済み · 1.0 MB/秒 · 残り約 5 秒"},
        {{3100000, 8400000, 45400, 117, 0, false, false},
         1,
         "8.4 MB 中 3.1 MB 送信済み（受信未確認） · 45 kB/秒 · 残り約 117 秒"},
        {{3100000, 8400000, 0, -1, 12.4, true, false},
         1,
         "ミキサーが 12 "
         "秒間データを受け取っていません。ケーブルと電源を確認するか、中断してください。"},
    };
    TxtLoader::setLocaleQuery(std::make_shared<FakeLocaleQuery>(
        std::vector<std::string>{"00000409", "00000411"}, 0x0409));
    for (const Row& row : rows)
    {
        TxtLoader::getInstance()->setLanguage(row.language);
        SendProgress::Figures f = row.figures;
        f.hasReading = *row.line != '\0';
        EXPECT_EQ(ProgressText::line(f), juce::String::fromUTF8(row.line)) << row.line;
    }
    TxtLoader::deleteInstance();
    TxtLoader::setLocaleQuery(nullptr);
}

TEST(NoMixerHint, TheFirewallsVerdictAndTheSystemsRemedyInTheirLanguage)
{
    using V = FirewallCheck::Verdict;
    using R = FirewallCheck::Remedy;
    const char* const causes = "No mixer yet? Check that the mixer is in its update mode and on "
                               "this computer's network, and that no firewall on this computer "
                               "drops TCP port 54000.\n";
    const char* const windows = "On Windows a network set to \"Public\" drops it: run "
                                "KVR516_UPDATE-firewall.cmd from the zip and set the network to "
                                "\"Private\".";
    const struct
    {
        V verdict;
        R remedy;
        int language;
        std::string hint;
    } rows[] = {
        {V::unknown, R::firewallHelper, 0, std::string(causes) + windows},
        {V::letsIn, R::firewallHelper, 0, std::string(causes) + windows},
        {V::blocks, R::firewallHelper, 0,
         std::string(causes) +
             "Windows Firewall is on for this network, and no rule lets this program or TCP port "
             "54000 in. " +
             windows},
        {V::unknown, R::ufwCommand, 0,
         std::string(causes) +
             "On Linux: sudo ufw allow 54000/tcp (docs/using.md has the other firewalls)."},
        {V::unknown, R::firewallHelper, 1,
         "ミキサーから接続がない場合は、ミキサーがアップデートモードになっていてこのコンピューター"
         "と同じネットワークにあるか、このコンピューターのファイアウォールがTCPポート54000を遮断し"
         "ていないかを確認してください。\nWindowsでは「パブリック」に設定されたネットワークで遮断"
         "されます。zip内のKVR516_UPDATE-firewall.cmdを実行し、ネットワークを「プライベート」に設"
         "定してください。"},
    };
    TxtLoader::setLocaleQuery(std::make_shared<FakeLocaleQuery>(
        std::vector<std::string>{"00000409", "00000411"}, 0x0409));
    for (const auto& row : rows)
    {
        TxtLoader::getInstance()->setLanguage(row.language);
        EXPECT_EQ(NoMixerHint::text(row.verdict, row.remedy),
                  juce::String::fromUTF8(row.hint.c_str()))
            << row.hint;
    }
    TxtLoader::deleteInstance();
    TxtLoader::setLocaleQuery(nullptr);
}
