// KVR516_UPDATE, GPL-3.0-or-later.
// The local ports of a firewall rule, as the firewall check reads them.
#include "platform/PortList.h"

#include <gtest/gtest.h>

TEST(PortList, CoversThePortOnlyWhereAnEntryNamesIt)
{
    const struct
    {
        const wchar_t* ports;
        int port;
        bool covers;
    } rows[] = {
        {L"*", 54000, true},
        {L"54000", 54000, true},
        {L"5400", 54000, false},
        {L"540000", 54000, false},
        {L"80,443,54000", 54000, true},
        {L"80, 54000 ", 54000, true},
        {L"54000-54000", 54000, true},
        {L"50000-60000", 54000, true},
        {L"54001-60000", 54000, false},
        {L"60000-50000", 54000, false},
        {L"0-65535", 65535, true},
        {L"0-65536", 54000, false},
        {L"RPC,RPC-EPMap,IPHTTPS", 54000, false},
        {L"", 54000, false},
        {L",,", 54000, false},
        {L"-54000", 54000, false},
        {L"+54000", 54000, false},
        {L"99999999999", 54000, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PortList::covers(row.ports, row.port), row.covers)
            << row.ports << " " << row.port;
}
