#pragma once
// quorvel-check started as a child process with its standard output and error on pipes (or
// error on a terminal), and what it left when it ended.

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace quorvel::test
{

using namespace std::chrono_literals;

struct Finished {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The program started with its standard output and error on pipes (or error on a terminal).
class Program
{
public:
    // The history folder of the test program's runs, unless a test names its own.
    static const TempDir &stateHome()
    {
        static const TempDir folder;
        return folder;
    }

    explicit Program(const std::vector<std::string> &args,
                     const std::vector<std::string> &environment = {}, bool errOnTerminal = false)
    {
        std::vector<std::string> env(environment);
        // Checks and moves write the history store: never the one of the user running the tests.
        if (std::none_of(environment.begin(), environment.end(),
                         [](const auto &s) { return s.rfind("XDG_STATE_HOME=", 0) == 0; }))
            env.push_back("XDG_STATE_HOME=" + stateHome().str());
        for (char **e = environ; *e; ++e) {
            const std::string setting = *e;
            const std::string name = setting.substr(0, setting.find('=') + 1);
            const bool overridden =
                std::any_of(environment.begin(), environment.end(),
                            [&](const auto &s) { return s.rfind(name, 0) == 0; });
            if (!overridden)
                env.push_back(setting);
        }
        std::vector<char *> argv{const_cast<char *>(QUORVEL_CHECK_PROGRAM)};
        for (const auto &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (auto &setting : env)
            envp.push_back(setting.data());
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        if (errOnTerminal) {
            EXPECT_EQ(::openpty(&err[0], &err[1], nullptr, nullptr, nullptr), 0);
            ::fcntl(err[0], F_SETFD, FD_CLOEXEC);
            ::fcntl(err[1], F_SETFD, FD_CLOEXEC);
        } else {
            EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }

    void signal(int number) { ::kill(pid_, number); }

    Finished finish()
    {
        Finished done;
        std::vector<pollfd> fds{{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        const auto limit = std::chrono::steady_clock::now() + 60s;
        while ((fds[0].fd >= 0 || fds[1].fd >= 0) && std::chrono::steady_clock::now() < limit) {
            if (::poll(fds.data(), fds.size(), 1000) <= 0)
                continue;
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                char buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    continue;
                }
                (i == 0 ? done.out : done.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        for (auto &fd : fds) {
            if (fd.fd >= 0)
                ::close(fd.fd);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        done.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return done;
    }

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

inline Finished run(const std::vector<std::string> &args, const std::vector<std::string> &env = {})
{
    return Program(args, env).finish();
}

// The text of a shortcut file for url.
inline std::string shortcut(const std::string &url)
{
    return "[InternetShortcut]\r\nURL=" + url + "\r\n";
}

} // namespace quorvel::test
