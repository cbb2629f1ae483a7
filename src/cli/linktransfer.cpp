#include "cli/linktransfer.h"

#include <algorithm>
#include <string_view>

namespace quorvel::cli
{

namespace inet = platform::inet;

void Transfer::resetResponse()
{
    resetAnswer();
    body.clear();
}

size_t onTransferHeader(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    return t.takeHeaderLine(std::string_view(data, bytes)) == inet::HopAnswer::Line::Refused
               ? 0
               : bytes;
}

size_t onTransferBody(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    if (t.discardRedirectBody(bytes))
        return t.discardCut ? 0 : bytes;
    // Only the start of a final 2xx answer is kept, for the deeper checks; the rest is read and
    // dropped as any other body.
    if (t.body.size() < t.keepBody && t.status >= 200 && t.status <= 299)
        t.body.append(data, std::min(bytes, t.keepBody - t.body.size()));
    return bytes;
}

int onTransferConnected(void *user, char *, char *, int, int)
{
    static_cast<Transfer *>(user)->connected = true;
    return CURL_PREREQFUNC_OK;
}

std::vector<std::string> headerLinesOf(const std::string &block)
{
    std::vector<std::string> lines;
    if (block.find("404") == std::string::npos)
        return lines;
    std::size_t start = 0;
    while (start < block.size()) {
        const std::size_t end = block.find("\r\n", start);
        if (end == start)
            break; // the empty line that ends the block
        lines.push_back(block.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

} // namespace quorvel::cli
