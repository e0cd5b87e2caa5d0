// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ProgressText.h"
#include "resources/FakeLocaleQuery.h"
#include "resources/TxtLoader.h"

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
