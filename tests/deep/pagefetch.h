#pragma once
// Fetches a page from the loopback sites with plain libcurl, following redirects itself so that
// no request ever leaves 127.0.0.1, and reading at most as much of the body as the deeper checks
// keep.

#include "deep/verdict.h"

#include <string>

namespace quorvel::test
{

struct Fetched {
    deep::DeepAnswer answer;
    int requests = 0;  // hops made, redirects included
    std::string error; // why the request failed, when it did
};

Fetched fetchPage(const std::string &url);

} // namespace quorvel::test
