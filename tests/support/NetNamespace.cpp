// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/NetNamespace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace
{
bool shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::atomic<int> counter{0};
} // namespace

bool NetNamespace::isRoot()
{
    return ::geteuid() == 0;
}

void NetNamespace::removeStale()
{
    FILE* list = ::popen("ip netns list 2>/dev/null", "r");
    if (list == nullptr)
        return;

    char line[256];
    while (std::fgets(line, sizeof(line), list) != nullptr)
    {
        int pid = 0;
        int n = 0;
        if (std::sscanf(line, "kvr-%d-%d", &pid, &n) == 2 && pid != ::getpid() &&
            ::kill(pid, 0) != 0)
            shell("ip netns del kvr-" + std::to_string(pid) + "-" + std::to_string(n));
    }
    ::pclose(list);
}

NetNamespace::NetNamespace()
{
    if (!isRoot())
        return;

    removeStale();
    nsName = "kvr-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    created = shell("ip netns add " + nsName);
    if (created && !ip("link set lo up"))
    {
        shell("ip netns del " + nsName);
        created = false;
    }
}

NetNamespace::~NetNamespace()
{
    if (created)
        shell("ip netns del " + nsName);
}

bool NetNamespace::ip(const std::string& args) const
{
    return created && shell("ip -n " + nsName + " " + args);
}

std::string NetNamespace::nextLinkName()
{
    // Interface names hold at most 15 characters.
    return "kv" + std::to_string(::getpid() % 100000) + "x" + std::to_string(counter++);
}

bool NetNamespace::linkTo(const NetNamespace& other, const std::string& thisAddress,
                          const std::string& otherAddress)
{
    if (!created || !other.created)
        return false;

    const std::string a = nextLinkName();
    const std::string b = nextLinkName();
    bool made = shell("ip link add " + a + " netns " + nsName + " type veth peer name " + b +
                      " netns " + other.nsName) &&
                ip("addr add " + thisAddress + " dev " + a) && ip("link set " + a + " up");
    std::istringstream addresses(otherAddress);
    for (std::string address; made && addresses >> address;)
        made = other.ip("addr add " + address + " dev " + b);
    return made && other.ip("link set " + b + " up");
}

bool NetNamespace::addAddress(const std::string& cidr)
{
    if (!created)
        return false;

    const std::string a = nextLinkName();
    const std::string b = nextLinkName();
    return ip("link add " + a + " type veth peer name " + b) &&
           ip("addr add " + cidr + " dev " + a) && ip("link set " + a + " up");
}

void NetNamespace::enter(const std::string& name)
{
    const int fd = ::open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!entered)
    {
        std::fprintf(stderr, "cannot enter the network namespace %s\n", name.c_str());
        std::abort();
    }
}

void NetNamespace::runInside(const std::function<void()>& fn) const
{
    std::thread inside(
        [&]
        {
            const int fd = ::open(("/var/run/netns/" + nsName).c_str(), O_RDONLY | O_CLOEXEC);
            const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
            if (fd >= 0)
                ::close(fd);
            if (entered)
                fn();
        });
    inside.join();
}
