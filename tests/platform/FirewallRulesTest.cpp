// KVR516_UPDATE, GPL-3.0-or-later.
// Windows Firewall's rules and settings as the firewall check judges them.
#include "platform/FirewallRules.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
using Meets = FirewallRules::Meets;
using Rule = FirewallRules::Rule;
using Verdict = FirewallCheck::Verdict;
constexpr int port = 54000;

// An inbound TCP allow rule for the port and the program on private networks.
Rule rule(const std::function<void(Rule&)>& change = {})
{
    Rule r;
    r.enabled = r.inbound = r.allow = r.programMatches = true;
    r.protocol = 6;
    r.profiles = FirewallRules::privateProfile;
    r.localPorts = "54000";
    if (change)
        change(r);
    return r;
}
} // namespace

TEST(FirewallRules, ARuleMeetsTheConnectionOnlyWhereItsConditionsCanBeJudged)
{
    const struct
    {
        const char* what;
        std::function<void(Rule&)> change;
        Meets meets;
    } rows[] = {
        {"port and program", {}, Meets::yes},
        {"disabled", [](Rule& r) { r.enabled = false; }, Meets::no},
        {"outbound", [](Rule& r) { r.inbound = false; }, Meets::no},
        {"UDP", [](Rule& r) { r.protocol = 17; }, Meets::no},
        {"another port", [](Rule& r) { r.localPorts = "80"; }, Meets::no},
        {"any port", [](Rule& r) { r.localPorts = ""; }, Meets::yes},
        {"any protocol has no ports", [](Rule& r) { r.protocol = 256, r.localPorts = "80"; },
         Meets::yes},
        {"another program", [](Rule& r) { r.programMatches = false; }, Meets::no},
        {"the local subnet", [](Rule& r) { r.remoteAddresses = "localsubnet"; }, Meets::yes},
        {"some remote addresses", [](Rule& r) { r.remoteAddresses = "192.0.2.0/24"; },
         Meets::maybe},
        {"services only", [](Rule& r) { r.service = "*"; }, Meets::maybe},
        {"a packaged app", [](Rule& r) { r.packageId = "S-1-15-2-1"; }, Meets::maybe},
        {"a user", [](Rule& r) { r.userOwner = "S-1-5-21-1"; }, Meets::maybe},
        {"remote machines", [](Rule& r) { r.remoteMachines = "O:LSD:(A;;CC;;;S-1-5-21-1)"; },
         Meets::maybe},
        {"IPsec", [](Rule& r) { r.secureFlags = 1; }, Meets::maybe},
        {"every interface type", [](Rule& r) { r.interfaceTypes = "All"; }, Meets::yes},
        {"wired only", [](Rule& r) { r.interfaceTypes = "Lan"; }, Meets::maybe},
        {"named interfaces", [](Rule& r) { r.interfacesNamed = true; }, Meets::maybe},
        {"a local address", [](Rule& r) { r.localAddresses = "192.0.2.1"; }, Meets::maybe},
        {"remote ports", [](Rule& r) { r.remotePorts = "1024-65535"; }, Meets::maybe},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FirewallRules::meets(rule(row.change), port), row.meets) << row.what;
}

TEST(FirewallRules, EachNetworkUnderItsProfileAndBlocksOnlyWhereOneIsBlocked)
{
    const long priv = FirewallRules::privateProfile, pub = FirewallRules::publicProfile;
    const Rule allow = rule(), block = rule([](Rule&r) { r.allow = false; }),
               mayAllow = rule([](Rule&r) { r.service = "*"; }),
               mayBlock = rule([](Rule&r) { r.allow = false, r.remoteAddresses = "192.0.2.9"; });
    const FirewallRules::Settings on, off{false}, allAllowed{true, false, true}, shut{true, true};
    const struct
    {
        const char* what;
        std::vector<Rule> rules;
        long profile;
        FirewallRules::Settings settings;
        Verdict verdict;
    } rows[] = {
        {"off", {}, pub, off, Verdict::letsIn},
        {"on, no rule", {}, priv, on, Verdict::blocks},
        {"allowed by default", {}, priv, allAllowed, Verdict::letsIn},
        {"allowed", {allow}, priv, on, Verdict::letsIn},
        {"allowed on another profile", {allow}, pub, on, Verdict::blocks},
        {"all inbound blocked", {allow}, priv, shut, Verdict::blocks},
        {"a block wins", {allow, block}, priv, on, Verdict::blocks},
        {"a block that may meet it", {allow, mayBlock}, priv, on, Verdict::unknown},
        {"the same by default", {mayBlock}, priv, allAllowed, Verdict::unknown},
        {"only an allow that may meet it", {mayAllow}, priv, on, Verdict::unknown},
        {"a sure allow besides", {mayAllow, allow}, priv, on, Verdict::letsIn},
    };
    for (const auto& row : rows)
    {
        FirewallRules rules;
        for (const Rule& r : row.rules)
            rules.add(r, port);
        EXPECT_EQ(rules.forProfile(row.profile, row.settings), row.verdict) << row.what;
    }

    using V = std::vector<Verdict>;
    EXPECT_EQ(FirewallRules::combine({}), Verdict::unknown);
    EXPECT_EQ(FirewallRules::combine(V{Verdict::unknown, Verdict::blocks}), Verdict::blocks);
    EXPECT_EQ(FirewallRules::combine(V{Verdict::letsIn, Verdict::letsIn}), Verdict::letsIn);
    EXPECT_EQ(FirewallRules::combine(V{Verdict::letsIn, Verdict::unknown}), Verdict::unknown);
}
