// The bare libcurl multi loop that quorvel-check is measured against: GET every URL of a file
// (one per line) with a fixed number of transfers in flight, bodies thrown away, nothing else.
//
//   bench_check_baseline URL_FILE [IN_FLIGHT]
//
// Prints how many answers came back with each status class.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "inet/curlhandle.h"

namespace
{

size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL_FILE [IN_FLIGHT]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> urls;
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            urls.push_back(line);
    const int inFlight = argc > 2 ? std::atoi(argv[2]) : 16;

    namespace inet = quorvel::platform::inet;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    long answers[6] = {};
    {
        const inet::CurlMulti owner = inet::makeCurlMulti();
        CURLM *multi = owner.get();
        // Each handle is used again for the next URL and freed once the run is over.
        std::vector<inet::CurlEasy> handles;
        std::size_t next = 0;
        auto start = [&](CURL *easy) {
            curl_easy_setopt(easy, CURLOPT_URL, urls[next++].c_str());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
            curl_multi_add_handle(multi, easy);
        };
        for (int i = 0; i < inFlight && next < urls.size(); ++i) {
            handles.push_back(inet::makeCurlEasy());
            start(handles.back().get());
        }

        int running = 1;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                CURL *easy = message->easy_handle;
                long status = 0;
                curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
                ++answers[status / 100 < 6 ? status / 100 : 0];
                curl_multi_remove_handle(multi, easy);
                if (next < urls.size()) {
                    start(easy);
                    running = 1;
                }
            }
            if (running > 0)
                curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }
    curl_global_cleanup();
    std::printf("2xx %ld, 3xx %ld, 4xx %ld, 5xx %ld, failed %ld\n", answers[2], answers[3],
                answers[4], answers[5], answers[0]);
    return 0;
}
