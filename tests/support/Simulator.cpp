// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/Simulator.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

Simulator::Simulator(const std::string& ns, const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{"ip", "netns", "exec", ns, KVR_MIXER_SIMULATOR};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (::posix_spawnp(&pid, "ip", &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    output = fds[0];
}

Simulator::~Simulator()
{
    if (pid > 0 && exitCode(std::chrono::milliseconds(0)) == -1)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (output >= 0)
        ::close(output);
}

std::string Simulator::summary(std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::string line;
    while (output >= 0)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{output, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char c;
        if (::read(output, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

int Simulator::exitCode(std::chrono::milliseconds deadline)
{
    if (pid <= 0)
        return -1;
    if (status >= 0)
        return status;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;)
    {
        int s = 0;
        if (::waitpid(pid, &s, WNOHANG) == pid)
        {
            status = WIFEXITED(s) ? WEXITSTATUS(s) : 128;
            return status;
        }
        if (std::chrono::steady_clock::now() >= end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string Simulator::field(const std::string& line, const std::string& name)
{
    const std::string key = " " + name + "=";
    const std::string padded = " " + line;
    const auto at = padded.find(key);
    if (at == std::string::npos)
        return {};
    const auto from = at + key.size();
    return padded.substr(from, padded.find(' ', from) - from);
}
