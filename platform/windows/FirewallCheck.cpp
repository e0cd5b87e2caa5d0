// KVR516_UPDATE, GPL-3.0-or-later.
// The framework's COM pointer, which needs the system's headers first.
#include <windows.h>
#define JUCE_CORE_INCLUDE_COM_SMART_PTR 1

#include "platform/FirewallCheck.h"

#include "platform/windows/PortList.h"

#include <initguid.h>

#include <netfw.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace
{
constexpr long tcp = 6;
constexpr long anyProtocol = 256;
constexpr long profileBits[] = {NET_FW_PROFILE2_DOMAIN, NET_FW_PROFILE2_PRIVATE,
                                NET_FW_PROFILE2_PUBLIC};

// A text property of a rule; empty when it is not set.
bool readText(INetFwRule* rule, HRESULT (STDMETHODCALLTYPE INetFwRule::*getter)(BSTR*),
              std::wstring& text)
{
    BSTR value = nullptr;
    const HRESULT result = (rule->*getter)(&value);
    text = value != nullptr ? std::wstring(value) : std::wstring();
    ::SysFreeString(value);
    return SUCCEEDED(result);
}

// A path as rules and the program give it: environment variables expanded
// ("%ProgramFiles%\..."), without the "\\?\" prefix.
std::wstring plainPath(const std::wstring& path)
{
    std::wstring expanded = path;
    const DWORD size = ::ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (size > 0)
    {
        std::vector<wchar_t> buffer(size);
        if (::ExpandEnvironmentStringsW(path.c_str(), buffer.data(), size) == size)
            expanded.assign(buffer.data());
    }
    if (expanded.rfind(L"\\\\?\\", 0) == 0)
        expanded.erase(0, 4);
    return expanded;
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// What one rule does to an inbound TCP connection to the port of the program:
// adds the profiles it allows it on to allows, those it blocks it on to blocks.
bool readRule(INetFwRule* rule, int port, const std::wstring& program, long& allows, long& blocks)
{
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    long protocol = 0;
    if (FAILED(rule->get_Enabled(&enabled)) || FAILED(rule->get_Direction(&direction)) ||
        FAILED(rule->get_Protocol(&protocol)))
        return false;
    if (enabled == VARIANT_FALSE || direction != NET_FW_RULE_DIR_IN ||
        (protocol != tcp && protocol != anyProtocol))
        return true;

    // A rule for any protocol has no ports: it covers every one.
    std::wstring ports = L"*";
    if (protocol == tcp && !readText(rule, &INetFwRule::get_LocalPorts, ports))
        return false;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    long profiles = 0;
    std::wstring app, serviceName, remote;
    if (FAILED(rule->get_Action(&action)) || FAILED(rule->get_Profiles(&profiles)) ||
        !readText(rule, &INetFwRule::get_ApplicationName, app) ||
        !readText(rule, &INetFwRule::get_ServiceName, serviceName) ||
        !readText(rule, &INetFwRule::get_RemoteAddresses, remote))
        return false;
    if (!PortList::covers(ports.empty() ? L"*" : ports, port) ||
        !(app.empty() || samePath(plainPath(app), program)) ||
        !(serviceName.empty() || serviceName == L"*"))
        return true;
    if (action == NET_FW_ACTION_ALLOW)
        allows |= profiles;
    // A block wins over every allow; only one from everywhere surely meets the mixer.
    else if (remote.empty() || remote == L"*")
        blocks |= profiles;
    return true;
}

// The allows and blocks of every rule; false on any failure.
bool readRules(INetFwPolicy2* policy, int port, const std::wstring& program, long& allows,
               long& blocks)
{
    juce::ComSmartPtr<INetFwRules> rules;
    juce::ComSmartPtr<IUnknown> enumerator;
    juce::ComSmartPtr<IEnumVARIANT> items;
    if (FAILED(policy->get_Rules(rules.resetAndGetPointerAddress())) || rules == nullptr ||
        FAILED(rules->get__NewEnum(enumerator.resetAndGetPointerAddress())) ||
        enumerator == nullptr || FAILED(enumerator.QueryInterface(items)))
        return false;

    for (;;)
    {
        VARIANT item;
        ::VariantInit(&item);
        ULONG fetched = 0;
        const HRESULT next = items->Next(1, &item, &fetched);
        if (FAILED(next))
            return false;
        if (next == S_FALSE || fetched == 0)
            return true;
        juce::ComSmartPtr<INetFwRule> rule;
        const bool read = item.vt == VT_DISPATCH && item.pdispVal != nullptr &&
                          SUCCEEDED(item.pdispVal->QueryInterface(
                              __uuidof(INetFwRule), (void**)rule.resetAndGetPointerAddress())) &&
                          readRule(rule, port, program, allows, blocks);
        ::VariantClear(&item);
        if (!read)
            return false;
    }
}

FirewallCheck::Verdict verdictOf(int port, const std::wstring& program)
{
    using Verdict = FirewallCheck::Verdict;
    juce::ComSmartPtr<INetFwPolicy2> policy;
    long current = 0;
    if (FAILED(policy.CoCreateInstance(CLSID_NetFwPolicy2)) ||
        FAILED(policy->get_CurrentProfileTypes(&current)) || current == 0)
        return Verdict::unknown;

    long allows = 0, blocks = 0;
    bool rulesRead = false;
    bool letsIn = true;
    for (const long profile : profileBits)
    {
        if ((current & profile) == 0)
            continue;
        const auto type = static_cast<NET_FW_PROFILE_TYPE2>(profile);
        VARIANT_BOOL enabled = VARIANT_TRUE, blockAll = VARIANT_FALSE;
        NET_FW_ACTION byDefault = NET_FW_ACTION_BLOCK;
        if (FAILED(policy->get_FirewallEnabled(type, &enabled)))
            return Verdict::unknown;
        if (enabled == VARIANT_FALSE)
            continue;
        if (FAILED(policy->get_BlockAllInboundTraffic(type, &blockAll)) ||
            FAILED(policy->get_DefaultInboundAction(type, &byDefault)))
            return Verdict::unknown;
        if (!rulesRead && blockAll == VARIANT_FALSE)
        {
            if (!readRules(policy, port, program, allows, blocks))
                return Verdict::unknown;
            rulesRead = true;
        }
        const bool allowed = byDefault == NET_FW_ACTION_ALLOW || (allows & profile) != 0;
        if (blockAll != VARIANT_FALSE || (blocks & profile) != 0 || !allowed)
            letsIn = false;
    }
    return letsIn ? Verdict::letsIn : Verdict::blocks;
}
} // namespace

// Read without administrator rights from the firewall's policy object. On
// each current network (profile) where the firewall is on, the connection
// comes in when inbound traffic is not all blocked, no enabled inbound block
// rule for TCP and the port that applies to the program meets it from
// everywhere (a block wins over an allow), and an enabled inbound allow rule
// for TCP and the port applies to the program (or inbound is allowed by
// default). It blocks when one current network keeps it out: the mixer may be
// on that one. Any failure of the system's answers leaves it unknown.
FirewallCheck::Verdict FirewallCheck::forIncoming(int tcpPort, const juce::File& program) noexcept
{
    // Apartment-threaded as the framework's message thread has it already;
    // on a thread with the other model the calls work in that one.
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return Verdict::unknown;
    Verdict verdict = Verdict::unknown;
    try
    {
        verdict = verdictOf(tcpPort, plainPath(program.getFullPathName().toWideCharPointer()));
    }
    catch (...)
    {
        verdict = Verdict::unknown;
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return verdict;
}

FirewallCheck::Remedy FirewallCheck::remedy() noexcept
{
    return Remedy::firewallHelper;
}
