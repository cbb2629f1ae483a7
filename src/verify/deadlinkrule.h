#pragma once
// The one rule that makes a link dead by its answer: a header line of the final response that
// holds "HTTP/1.1 404" or "HTTP/1.0 404", letter case ignored. The window and quorvel-check both
// decide with it; a request that fails is dead as well, which each caller sees for itself.

#include <string>
#include <vector>

namespace quorvel
{

// One upper-cased header line per 404 finding, in order; a line holding both texts is there
// twice.
std::vector<std::string> notFoundFindings(const std::vector<std::string> &headerLines);

} // namespace quorvel
