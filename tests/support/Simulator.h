// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// The mixer simulator started in a network namespace, its output read through
// a pipe. Killed, if still running, when the object goes.
class Simulator
{
public:
    // Runs "ip netns exec <ns> <simulator> <arguments...>".
    Simulator(const std::string& ns, const std::vector<std::string>& arguments);
    ~Simulator();

    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool started() const { return pid > 0; }

    // Its summary line, or empty when none came before the deadline.
    std::string summary(std::chrono::milliseconds deadline = std::chrono::seconds(30));

    // Its exit code, or -1 when it did not end before the deadline.
    int exitCode(std::chrono::milliseconds deadline = std::chrono::seconds(10));

    // The value of "name=" in line, or empty.
    static std::string field(const std::string& line, const std::string& name);

private:
    pid_t pid = -1;
    int output = -1;
    int status = -1;
};
