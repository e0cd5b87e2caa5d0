// KVR516_UPDATE, GPL-3.0-or-later.
// Windows Sockets 2 before windows.h, whose older winsock.h would clash.
#include <winsock2.h>

// The framework's COM pointer, which needs the system's headers first.
#include <windows.h>
#define JUCE_CORE_INCLUDE_COM_SMART_PTR 1

#include "platform/FirewallCheck.h"

#include "platform/FirewallRules.h"

#include <initguid.h>

#include <iphlpapi.h>
#include <netfw.h>
#include <netioapi.h>
#include <netlistmgr.h>
#include <oleauto.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using Verdict = FirewallCheck::Verdict;

// Releases a BSTR the system handed over.
struct Text
{
    BSTR value = nullptr;
    ~Text() { ::SysFreeString(value); }
    juce::String string() const { return value != nullptr ? juce::String(value) : juce::String(); }
};

template <typename Interface>
bool readText(Interface* object, HRESULT (STDMETHODCALLTYPE Interface::*getter)(BSTR*),
              juce::String& text)
{
    Text value;
    const HRESULT result = (object->*getter)(&value.value);
    text = value.string();
    return SUCCEEDED(result);
}

std::wstring expanded(const std::wstring& path)
{
    const DWORD size = ::ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::vector<wchar_t> buffer(size);
    const DWORD written = ::ExpandEnvironmentStringsW(path.c_str(), buffer.data(), size);
    return written > 0 && written <= size ? std::wstring(buffer.data()) : path;
}

// Calls fill (a GetFullPathNameW-like function: the length it wrote, or the
// size it needs) until the buffer is large enough; empty on failure.
template <typename Fill> std::wstring grown(Fill fill)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int tries = 0; tries < 4; ++tries)
    {
        const DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
    return {};
}

// "\\?\C:\..." as "C:\...", "\\?\UNC\server\share\..." as "\\server\share\...".
std::wstring withoutPrefix(std::wstring path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return path.replace(0, 8, L"\\\\");
    if (path.rfind(L"\\\\?\\", 0) == 0)
        path.erase(0, 4);
    return path;
}

// A program's path as the file system resolves it: environment variables
// expanded ("%ProgramFiles%\..."), then, where the file can be opened, its
// final path (through subst and mapped drives, junctions and links, 8.3
// names, in the file system's case); otherwise the full path with long names.
std::wstring resolved(const std::wstring& path)
{
    const std::wstring plain = expanded(path);
    const HANDLE file =
        ::CreateFileW(plain.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE)
    {
        const std::wstring final = grown(
            [file](wchar_t* to, DWORD size) {
                return ::GetFinalPathNameByHandleW(file, to, size,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            });
        ::CloseHandle(file);
        if (!final.empty())
            return withoutPrefix(final);
    }
    std::wstring full = grown([&plain](wchar_t* to, DWORD size)
                              { return ::GetFullPathNameW(plain.c_str(), size, to, nullptr); });
    if (full.empty())
        full = plain;
    const std::wstring longer = grown([&full](wchar_t* to, DWORD size)
                                      { return ::GetLongPathNameW(full.c_str(), to, size); });
    return withoutPrefix(longer.empty() ? full : longer);
}

// Compared as Windows compares file names: ordinal, case-insensitive.
bool samePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool namesInterfaces(const VARIANT& interfaces)
{
    if (interfaces.vt == VT_EMPTY || interfaces.vt == VT_NULL)
        return false;
    if ((interfaces.vt & VT_ARRAY) == 0 || interfaces.parray == nullptr)
        return true;
    LONG low = 0, high = -1;
    if (FAILED(::SafeArrayGetLBound(interfaces.parray, 1, &low)) ||
        FAILED(::SafeArrayGetUBound(interfaces.parray, 1, &high)))
        return true;
    return high >= low;
}

// One rule as FirewallRules judges it; false on any failure.
bool readRule(INetFwRule* rule, const std::wstring& program, FirewallRules::Rule& r)
{
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    juce::String app;
    if (FAILED(rule->get_Enabled(&enabled)) || FAILED(rule->get_Direction(&direction)) ||
        FAILED(rule->get_Protocol(&r.protocol)) || FAILED(rule->get_Action(&action)) ||
        FAILED(rule->get_Profiles(&r.profiles)))
        return false;
    r.enabled = enabled != VARIANT_FALSE;
    r.inbound = direction == NET_FW_RULE_DIR_IN;
    r.allow = action == NET_FW_ACTION_ALLOW;
    if (!r.enabled || !r.inbound)
        return true;

    VARIANT interfaces;
    ::VariantInit(&interfaces);
    const bool read =
        (r.protocol != 6 || readText(rule, &INetFwRule::get_LocalPorts, r.localPorts)) &&
        readText(rule, &INetFwRule::get_ApplicationName, app) &&
        readText(rule, &INetFwRule::get_ServiceName, r.service) &&
        readText(rule, &INetFwRule::get_LocalAddresses, r.localAddresses) &&
        readText(rule, &INetFwRule::get_RemoteAddresses, r.remoteAddresses) &&
        (r.protocol != 6 || readText(rule, &INetFwRule::get_RemotePorts, r.remotePorts)) &&
        readText(rule, &INetFwRule::get_InterfaceTypes, r.interfaceTypes) &&
        SUCCEEDED(rule->get_Interfaces(&interfaces));
    r.interfacesNamed = read && namesInterfaces(interfaces);
    ::VariantClear(&interfaces);
    if (!read)
        return false;
    r.programMatches = app.isEmpty() || samePath(resolved(app.toWideCharPointer()), program);

    // Windows 8 and later; an older system has no such conditions.
    juce::ComSmartPtr<INetFwRule3> third;
    if (SUCCEEDED(rule->QueryInterface(__uuidof(INetFwRule3),
                                       (void**)third.resetAndGetPointerAddress())) &&
        third != nullptr)
    {
        INetFwRule3* const three = third;
        if (!readText(three, &INetFwRule3::get_LocalAppPackageId, r.packageId) ||
            !readText(three, &INetFwRule3::get_LocalUserOwner, r.userOwner) ||
            !readText(three, &INetFwRule3::get_LocalUserAuthorizedList, r.localUsers) ||
            !readText(three, &INetFwRule3::get_RemoteUserAuthorizedList, r.remoteUsers) ||
            !readText(three, &INetFwRule3::get_RemoteMachineAuthorizedList, r.remoteMachines) ||
            FAILED(third->get_SecureFlags(&r.secureFlags)))
            return false;
    }
    return true;
}

// Every rule into rules; false on any failure.
bool readRules(INetFwPolicy2* policy, int port, const std::wstring& program, FirewallRules& rules)
{
    juce::ComSmartPtr<INetFwRules> list;
    juce::ComSmartPtr<IUnknown> enumerator;
    juce::ComSmartPtr<IEnumVARIANT> items;
    if (FAILED(policy->get_Rules(list.resetAndGetPointerAddress())) || list == nullptr ||
        FAILED(list->get__NewEnum(enumerator.resetAndGetPointerAddress())) ||
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
        FirewallRules::Rule r;
        const bool read = item.vt == VT_DISPATCH && item.pdispVal != nullptr &&
                          SUCCEEDED(item.pdispVal->QueryInterface(
                              __uuidof(INetFwRule), (void**)rule.resetAndGetPointerAddress())) &&
                          readRule(rule, program, r);
        ::VariantClear(&item);
        if (!read)
            return false;
        rules.add(r, port);
    }
}

// The adapter (its interface GUID) that holds each address; a zero GUID
// where none does.
std::vector<GUID> adaptersOf(const juce::StringArray& addresses)
{
    std::vector<GUID> found(static_cast<std::size_t>(addresses.size()), GUID{});
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && result == ERROR_BUFFER_OVERFLOW; ++tries)
    {
        buffer.resize(size);
        result = ::GetAdaptersAddresses(
            AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return found;

    for (int i = 0; i < addresses.size(); ++i)
    {
        const juce::IPAddress parsed(addresses[i]);
        if (parsed.isIPv6 || parsed.isNull())
            continue;
        const unsigned char wanted[4] = {parsed.address[0], parsed.address[1], parsed.address[2],
                                         parsed.address[3]};
        for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
             a = a->Next)
            for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next)
            {
                const SOCKADDR* at = u->Address.lpSockaddr;
                if (at != nullptr && at->sa_family == AF_INET &&
                    std::memcmp(&reinterpret_cast<const SOCKADDR_IN*>(at)->sin_addr, wanted, 4) ==
                        0)
                    ::ConvertInterfaceLuidToGuid(&a->Luid, &found[static_cast<std::size_t>(i)]);
            }
    }
    return found;
}

long profileOf(NLM_NETWORK_CATEGORY category)
{
    switch (category)
    {
    case NLM_NETWORK_CATEGORY_PUBLIC:
        return FirewallRules::publicProfile;
    case NLM_NETWORK_CATEGORY_PRIVATE:
        return FirewallRules::privateProfile;
    case NLM_NETWORK_CATEGORY_DOMAIN_AUTHENTICATED:
        return FirewallRules::domainProfile;
    }
    return 0;
}

// The firewall profile of each address's network, by the category the
// Network List Manager gives the network of the connection on its adapter;
// 0 where it is not known.
std::vector<long> profilesOf(const juce::StringArray& addresses)
{
    const std::vector<GUID> adapters = adaptersOf(addresses);
    std::vector<long> profiles(adapters.size(), 0);
    juce::ComSmartPtr<INetworkListManager> manager;
    juce::ComSmartPtr<IEnumNetworkConnections> connections;
    if (FAILED(manager.CoCreateInstance(CLSID_NetworkListManager)) ||
        FAILED(manager->GetNetworkConnections(connections.resetAndGetPointerAddress())) ||
        connections == nullptr)
        return profiles;

    for (;;)
    {
        juce::ComSmartPtr<INetworkConnection> connection;
        ULONG fetched = 0;
        if (connections->Next(1, connection.resetAndGetPointerAddress(), &fetched) != S_OK ||
            fetched == 0 || connection == nullptr)
            return profiles;
        GUID adapter{};
        juce::ComSmartPtr<INetwork> network;
        NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PUBLIC;
        if (FAILED(connection->GetAdapterId(&adapter)) ||
            FAILED(connection->GetNetwork(network.resetAndGetPointerAddress())) ||
            network == nullptr || FAILED(network->GetCategory(&category)))
            continue;
        for (std::size_t i = 0; i < adapters.size(); ++i)
            if (adapters[i] != GUID{} && adapters[i] == adapter)
                profiles[i] = profileOf(category);
    }
}

Verdict verdictOf(int port, const std::wstring& program, const juce::StringArray& addresses)
{
    const std::vector<long> profiles = profilesOf(addresses);
    juce::ComSmartPtr<INetFwPolicy2> policy;
    if (FAILED(policy.CoCreateInstance(CLSID_NetFwPolicy2)))
        return Verdict::unknown;

    FirewallRules rules;
    bool rulesRead = false;
    std::vector<Verdict> networks;
    for (const long profile : profiles)
    {
        if (profile == 0)
        {
            networks.push_back(Verdict::unknown);
            continue;
        }
        const auto type = static_cast<NET_FW_PROFILE_TYPE2>(profile);
        VARIANT_BOOL enabled = VARIANT_TRUE, blockAll = VARIANT_FALSE;
        NET_FW_ACTION byDefault = NET_FW_ACTION_BLOCK;
        if (FAILED(policy->get_FirewallEnabled(type, &enabled)) ||
            FAILED(policy->get_BlockAllInboundTraffic(type, &blockAll)) ||
            FAILED(policy->get_DefaultInboundAction(type, &byDefault)))
            return Verdict::unknown;
        const FirewallRules::Settings settings{enabled != VARIANT_FALSE, blockAll != VARIANT_FALSE,
                                               byDefault == NET_FW_ACTION_ALLOW};
        if (!rulesRead && settings.enabled && !settings.blockAll)
        {
            if (!readRules(policy, port, program, rules))
                return Verdict::unknown;
            rulesRead = true;
        }
        networks.push_back(rules.forProfile(profile, settings));
    }
    return FirewallRules::combine(networks);
}
} // namespace

// Read without administrator rights from the firewall's policy object. Each
// network announced on is judged under its own profile: its adapter (the one
// holding the address, GetAdaptersAddresses) is the adapter of a connection
// the Network List Manager lists, whose network's category (public, private,
// domain) is the profile Windows Firewall applies there. The rules are
// FirewallRules'; a program named by a rule is the same as this one when both
// resolve to the same file. Any failure of the system's answers, and a
// network whose category is not found, leaves it unknown.
FirewallCheck::Verdict FirewallCheck::forIncoming(int tcpPort, const juce::File& program,
                                                  const juce::StringArray& addresses) noexcept
{
    // The check runs on a thread of its own; on one that has COM set up in
    // the other model already the calls work in that one.
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return Verdict::unknown;
    Verdict verdict = Verdict::unknown;
    try
    {
        verdict =
            verdictOf(tcpPort, resolved(program.getFullPathName().toWideCharPointer()), addresses);
    }
    catch (...)
    {
        verdict = Verdict::unknown;
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return verdict;
}

bool FirewallCheck::tells() noexcept
{
    return true;
}

FirewallCheck::Remedy FirewallCheck::remedy() noexcept
{
    return Remedy::firewallHelper;
}
