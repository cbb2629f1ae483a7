#pragma once
// The loopback servers' reading of one connection: request heads one after another, as a kept
// connection brings them. Only GETs come, so there are no bodies to skip.

#include <string>
#include <string_view>

#include <unistd.h>

namespace quorvel::bench
{

// Hands each request head (up to its blank line) to answer, which returns false to end the
// connection; returns when the client closes it or reading fails.
template <typename Answer> void readRequestHeads(int fd, Answer &&answer)
{
    std::string buffer;
    char chunk[4096];
    for (;;) {
        const auto end = buffer.find("\r\n\r\n");
        if (end == std::string::npos) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        const std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        if (!answer(std::string_view(head)))
            return;
    }
}

} // namespace quorvel::bench
