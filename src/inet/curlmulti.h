#pragma once
// Taking the transfers a libcurl multi handle has finished, for every loop over one.

#include <curl/curl.h>

namespace quorvel::platform::inet
{

// Calls finished(transfer, result) for each transfer the multi handle reports done; Transfer is
// what the caller stored as the easy handle's CURLINFO_PRIVATE.
template <typename Transfer, typename Finished> void takeFinished(CURLM *multi, Finished finished)
{
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        Transfer *transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (transfer)
            finished(*transfer, message->data.result);
    }
}

} // namespace quorvel::platform::inet
