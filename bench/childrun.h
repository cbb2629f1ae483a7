#pragma once
// Runs a program as a child process and measures it: its wall time, its peak resident set as
// wait4 reports it, and its exit status. A time limit, when given, kills a child that overruns.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace quorvel::bench
{

struct ChildRun {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;     // the exit status; -1 when the child did not exit normally
    bool killed = false; // it overran its time limit
};

// args[0] is the program's path; the child's standard output goes to stdoutFile, its standard
// error to stderrFile when one is given. Exits this process when the child cannot be started.
inline ChildRun runChild(const std::vector<std::string> &args, const std::string &stdoutFile,
                         std::chrono::seconds limit = {}, const std::string &stderrFile = {})
{
    std::vector<char *> argv;
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!stderrFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    ChildRun run;
    if (limit.count() > 0) {
        // glibc's pidfd_open header lacks C linkage for C++ here, so the call is made directly.
        const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd exited{pidFd, POLLIN, 0};
        if (pidFd >= 0 && ::poll(&exited, 1, static_cast<int>(limit.count() * 1000)) == 0) {
            ::kill(pid, SIGKILL);
            run.killed = true;
        }
        if (pidFd >= 0)
            ::close(pidFd);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace quorvel::bench
