#pragma once
// A private network and mount namespace for this process and its children: only a loopback
// interface, and the system's name resolution pointed at a resolver on 127.0.0.1 through the
// benchmark's own /etc/resolv.conf, /etc/hosts and /etc/nsswitch.conf. Nothing outside the
// machine can be reached from it, and nothing of it is seen outside.

#include <filesystem>
#include <string>

namespace quorvel::simweb
{

// Enters the namespaces (as root, before any thread is started) with lo up, writing the files it
// mounts into workDir, which must outlive the namespace's use. Returns "" on success, else why
// it could not.
std::string enterPrivateNetwork(const std::filesystem::path &workDir);

// Enters a further network namespace of its own whose lo stays down: no network at all.
std::string leaveNetwork();

} // namespace quorvel::simweb
