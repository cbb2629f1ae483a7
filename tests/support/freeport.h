#pragma once
// A loopback port on which nothing listens, for refused connections.

#include <cstdint>

namespace quorvel::test
{

// Binds 127.0.0.1 on a port the system picks and closes it again; a connection to the port
// is then refused (unless another program takes it in the meantime, which is unlikely).
std::uint16_t closedLoopbackPort();

} // namespace quorvel::test
