#pragma once
// A path's exact bytes in a form any report can hold.

#include <string>
#include <string_view>

namespace quorvel::cli
{

// Printable ASCII as it is, every other byte and '%' itself as %XX (upper-case hex), so that a
// script can rebuild the very bytes of a file name that is not UTF-8.
std::string percentEncodedBytes(std::string_view bytes);

} // namespace quorvel::cli
