#include "verify/deadlinkrule.h"

#include "platform/asciitext.h"

namespace quorvel
{

std::vector<std::string> notFoundFindings(const std::vector<std::string> &headerLines)
{
    std::vector<std::string> findings;
    for (const std::string &line : headerLines) {
        const std::string upper = platform::asciiUpper(line);
        // Both texts are looked for in every line, so one line can count twice.
        for (const char *text : {"HTTP/1.1 404", "HTTP/1.0 404"}) {
            if (upper.find(text) != std::string::npos)
                findings.push_back(upper);
        }
    }
    return findings;
}

} // namespace quorvel
