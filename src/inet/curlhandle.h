#pragma once
// Owners of libcurl's handles: each frees its handle when it goes, can be moved but not copied,
// so no path out of a function forgets a clean-up and no handle is freed twice.

#include <memory>

#include <curl/curl.h>

namespace quorvel::platform::inet
{

namespace curlfree
{
struct Easy {
    void operator()(CURL *easy) const noexcept { curl_easy_cleanup(easy); }
};
struct Multi {
    void operator()(CURLM *multi) const noexcept { curl_multi_cleanup(multi); }
};
struct List {
    void operator()(curl_slist *list) const noexcept { curl_slist_free_all(list); }
};
} // namespace curlfree

using CurlEasy = std::unique_ptr<CURL, curlfree::Easy>;
using CurlMulti = std::unique_ptr<CURLM, curlfree::Multi>;
using CurlList = std::unique_ptr<curl_slist, curlfree::List>;

inline CurlEasy makeCurlEasy()
{
    return CurlEasy(curl_easy_init());
}
inline CurlMulti makeCurlMulti()
{
    return CurlMulti(curl_multi_init());
}

// Adds line at the end of list; false when memory ran out, in which case list is as it was.
inline bool appendTo(CurlList &list, const char *line)
{
    curl_slist *longer = curl_slist_append(list.get(), line);
    if (!longer)
        return false;
    if (!list)
        list.reset(longer);
    return true;
}

} // namespace quorvel::platform::inet
