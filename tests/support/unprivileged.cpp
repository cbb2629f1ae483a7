#include "support/unprivileged.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::test
{

namespace
{

void writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

void giveTree(const std::filesystem::path &tree, std::vector<std::string> &failures)
{
    const auto give = [&](const std::filesystem::path &path) {
        if (::lchown(path.c_str(), unprivilegedId, unprivilegedId) != 0)
            failures.push_back(path.string() + ": " + std::strerror(errno));
    };
    give(tree);
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(tree, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        give(it->path());
    if (error)
        failures.push_back(tree.string() + ": " + error.message());
}

// In the child: 'N' and the reason when it cannot become the user, else 'R' and the result.
[[noreturn]] void runAsUser(int fd, std::initializer_list<std::filesystem::path> trees,
                            const std::function<std::string()> &part)
{
    const auto refuse = [fd](const std::string &why) {
        writeAll(fd, "N" + why);
        ::_exit(0);
    };
    if (::setgroups(0, nullptr) != 0 ||
        ::setresgid(unprivilegedId, unprivilegedId, unprivilegedId) != 0 ||
        ::setresuid(unprivilegedId, unprivilegedId, unprivilegedId) != 0)
        refuse(std::string("root cannot become the user nobody here: ") + std::strerror(errno));
    if (::setresuid(0, 0, 0) == 0)
        refuse("the child could take root back");
    for (const auto &tree : trees) {
        if (::access(tree.c_str(), R_OK | W_OK | X_OK) != 0)
            refuse("the user nobody cannot reach " + tree.string() + " (" + std::strerror(errno) +
                   "); set TMPDIR to a folder every user can enter");
    }
    std::string result;
    try {
        result = part();
    } catch (const std::exception &error) {
        result = std::string("exception: ") + error.what();
    }
    writeAll(fd, "R" + result);
    ::_exit(0);
}

} // namespace

UnprivilegedRun runUnprivileged(std::initializer_list<std::filesystem::path> trees,
                                const std::function<std::string()> &part)
{
    UnprivilegedRun run;
    if (::geteuid() != 0) {
        run.ran = true;
        run.result = part();
        return run;
    }
    std::vector<std::string> failures;
    for (const auto &tree : trees)
        giveTree(tree, failures);
    if (!failures.empty()) {
        run.whyNot = "cannot give the test's files to the user nobody: " + failures.front();
        return run;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        run.whyNot = std::string("no pipe: ") + std::strerror(errno);
        return run;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        run.whyNot = std::string("cannot fork: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return run;
    }
    if (child == 0) {
        ::close(fds[0]);
        runAsUser(fds[1], trees, part);
    }
    ::close(fds[1]);
    const std::string message = readAll(fds[0]);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!message.empty() && message[0] == 'N') {
        run.whyNot = message.substr(1);
        return run;
    }
    run.ran = true;
    if (!message.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.result = message.substr(1);
    else
        run.result = "the child ended without a result (status " + std::to_string(status) + ")";
    return run;
}

} // namespace quorvel::test
