#include "webprocess.h"

#include "dnsserver.h"
#include "webserver.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::simweb
{

namespace
{

DnsAnswer resolve(const std::unordered_map<std::string_view, const Host *> &names,
                  std::string_view name)
{
    const auto found = names.find(name);
    if (found == names.end() || found->second->kind == HostKind::Expired)
        return {};
    const Host &host = *found->second;
    if (host.kind == HostKind::LameDns)
        return {DnsAnswer::Kind::ServerFailure};
    return {DnsAnswer::Kind::Address, host.address, std::chrono::milliseconds(host.dnsDelayMs)};
}

[[noreturn]] void runWeb(const Plan &plan, int readyFd)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::unordered_map<std::string_view, const Host *> names;
    for (const Host &host : plan.hosts)
        names.emplace(host.name, &host);
    const DnsServer dns(0x7f000001, 53,
                        [&names](std::string_view name) { return resolve(names, name); });
    const WebServer web(plan, 80);
    const char ready = 1;
    if (::write(readyFd, &ready, 1) != 1)
        std::_Exit(1);
    for (;;)
        ::pause();
}

} // namespace

WebProcess::WebProcess(const Plan &plan)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        std::perror("simulated web");
        std::exit(1);
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        runWeb(plan, fds[1]);
    }
    ::close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char byte = 0;
    const bool up = pid_ > 0 && ::poll(&ready, 1, 30000) == 1 && ::read(fds[0], &byte, 1) == 1;
    ::close(fds[0]);
    if (!up) {
        std::fprintf(stderr, "The simulated web did not start.\n");
        std::exit(1);
    }
}

WebProcess::~WebProcess()
{
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

} // namespace quorvel::simweb
