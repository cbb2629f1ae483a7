#pragma once
// open(2) for paths of any length. The kernel refuses a path of PATH_MAX bytes or more; such a
// path is opened one piece at a time, each piece relative to the folder the one before opened,
// so folders deep below the favorites folder stay reachable.

#include <string>

namespace quorvel::platform {

// A file descriptor (O_CLOEXEC added to flags), or -1 with errno set.
int openPath(const std::string &path, int flags, unsigned mode = 0);

} // namespace quorvel::platform
