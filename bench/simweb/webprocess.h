#pragma once
// The simulated web (its resolver on 127.0.0.1:53 and its servers on port 80) in a child
// process, started in the caller's network namespace. A process of its own keeps the
// benchmark's small (a child's peak memory as wait4 reports it starts from its parent's size at
// the start), gives every run fresh servers (a flaky host's first request fails again), and
// stops for certain: it is killed when this object goes, or when its parent dies.

#include "plan.h"

#include <sys/types.h>

namespace quorvel::simweb
{

class WebProcess
{
public:
    // Returns once the resolver and every listener are up; exits the process when the web
    // could not start.
    explicit WebProcess(const Plan &plan);
    ~WebProcess();
    WebProcess(const WebProcess &) = delete;
    WebProcess &operator=(const WebProcess &) = delete;

private:
    pid_t pid_ = -1;
};

} // namespace quorvel::simweb
