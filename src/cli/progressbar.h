#pragma once
// The progress line on standard error while links are checked: done/total, dead (and with
// --deep suspect) so far and the rate. Drawn only on a terminal, at most ten times a second, and
// cleared at the end so that the report starts on a clean line.

#include <chrono>
#include <cstddef>
#include <string>

namespace quorvel::cli
{

class ProgressBar
{
public:
    // Shows nothing unless fd is a terminal; withSuspects shows the suspects' count too.
    ProgressBar(int fd, std::size_t total, bool withSuspects = false);
    ~ProgressBar();
    ProgressBar(const ProgressBar &) = delete;
    ProgressBar &operator=(const ProgressBar &) = delete;

    bool shown() const { return enabled_; }
    void update(std::size_t done, std::size_t dead, std::size_t suspect = 0);
    // Clears the line.
    void finish();

private:
    void draw();

    int fd_;
    bool enabled_;
    std::size_t total_;
    std::size_t done_ = 0;
    std::size_t dead_ = 0;
    bool withSuspects_;
    std::size_t suspect_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool drawn_ = false;
};

// The line for a terminal of the given width, without a line end.
std::string progressLine(std::size_t done, std::size_t total, std::size_t dead, double rate,
                         int width, bool withSuspects = false, std::size_t suspect = 0);

} // namespace quorvel::cli
