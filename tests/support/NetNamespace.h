// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <functional>
#include <string>

// A network namespace of a test's own, removed again when the object goes (and,
// should a test process die, by the next one that starts). Needs root.
class NetNamespace
{
public:
    // Creates "kvr-<pid>-<n>" with its loopback up.
    NetNamespace();
    ~NetNamespace();

    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    static bool isRoot();

    bool ok() const { return created; }
    const std::string& name() const { return nsName; }

    // Runs "ip -n <name> <args>"; true when it exits 0.
    bool ip(const std::string& args) const;

    // Joins this namespace and other by a veth pair with the addresses given
    // in CIDR form, for example "198.51.100.10/24" (otherAddress may list
    // several, split by spaces); both ends are brought up.
    bool linkTo(const NetNamespace& other, const std::string& thisAddress,
                const std::string& otherAddress);

    // Gives this namespace one more address, on a veth end of its own whose
    // peer stays in the namespace without an address.
    bool addAddress(const std::string& cidr);

    // Runs fn on a thread inside the namespace and returns when it has; threads
    // and sockets that fn creates belong to the namespace.
    void runInside(const std::function<void()>& fn) const;

    // Moves the calling thread into the namespace called name for good; threads
    // it starts follow it. When that fails, the test program ends with a
    // message: what the thread runs next would reach the machine's networks.
    static void enter(const std::string& name);

    // The shell prefix that runs a command inside the namespace.
    std::string execPrefix() const { return "ip netns exec " + nsName + " "; }

private:
    static std::string nextLinkName();
    static void removeStale();

    std::string nsName;
    bool created = false;
};
