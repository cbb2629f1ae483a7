#include "cli/stopsignals.h"

#include <csignal>

#include <pthread.h>

#include <fcntl.h>
#include <unistd.h>

namespace quorvel::cli
{

namespace
{

volatile std::sig_atomic_t stopRaised = 0;
int pipeEnds[2] = {-1, -1};

void onStop(int signal)
{
    stopRaised = 1;
    if (pipeEnds[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    }
    struct sigaction fallback {
    };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal == SIGINT ? SIGINT : SIGTERM, &fallback, nullptr);
}

} // namespace

StopSignals::StopSignals()
{
    stopRaised = 0;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        pipeEnds[0] = pipeEnds[1] = -1;
    struct sigaction action {
    };
    action.sa_handler = onStop;
    // Slow calls go on after the handler: the loop learns of the stop through the pipe.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

StopSignals::~StopSignals()
{
    struct sigaction fallback {
    };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGINT, &fallback, nullptr);
    ::sigaction(SIGTERM, &fallback, nullptr);
    for (int &end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

int StopSignals::fd() const
{
    return pipeEnds[0];
}

bool StopSignals::raised() const
{
    return stopRaised != 0;
}

StopSignalsHeld::StopSignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

StopSignalsHeld::~StopSignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace quorvel::cli
