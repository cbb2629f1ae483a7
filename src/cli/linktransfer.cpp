#include "cli/linktransfer.h"

#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"

#include <algorithm>
#include <string_view>

namespace quorvel::cli
{

namespace inet = platform::inet;

void Transfer::resetResponse()
{
    head.clear();
    status = 0;
    inHead = false;
    headDone = false;
    headTooLong = false;
    redirectTo.reset();
    discarded = 0;
    discardCut = false;
    body.clear();
}

void Transfer::headEnded()
{
    if (status >= 100 && status < 200 && status != 101) {
        head.clear();
        headDone = false;
        return;
    }
    if (isRedirectStatus(status)) {
        if (auto location = inet::headerValue(head, "Location"); location && !location->empty())
            redirectTo = std::move(location);
    }
}

size_t onTransferHeader(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        t.head.clear();
        inet::appendHeaderLine(t.head, line);
        t.status = inet::statusCodeOf(line);
        t.inHead = true;
        t.headDone = false;
        t.redirectTo.reset();
        return bytes;
    }
    if (!t.inHead)
        return bytes; // trailers of a chunked body are not part of the header block
    if (t.head.size() + line.size() > inet::maxHeaderBlock) {
        t.headTooLong = true;
        return 0;
    }
    if (inet::appendHeaderLine(t.head, line)) {
        t.inHead = false;
        t.headDone = true;
        t.headEnded();
    }
    return bytes;
}

size_t onTransferBody(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    if (t.redirectTo) {
        t.discarded += bytes;
        if (t.discarded > inet::redirectBodyLimit) {
            t.discardCut = true;
            return 0;
        }
        return bytes;
    }
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
