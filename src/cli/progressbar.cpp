#include "cli/progressbar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvel::cli
{

namespace
{

constexpr std::chrono::milliseconds redrawEvery{100};

int terminalWidth(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void writeAll(int fd, const std::string &text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0)
            return; // a closed terminal is no reason to stop checking
        written += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string progressLine(std::size_t done, std::size_t total, std::size_t dead, double rate,
                         int width, bool withSuspects, std::size_t suspect)
{
    char tail[128];
    if (withSuspects)
        std::snprintf(tail, sizeof tail, " %zu/%zu  dead %zu  suspect %zu  %.1f/s", done, total,
                      dead, suspect, rate);
    else
        std::snprintf(tail, sizeof tail, " %zu/%zu  dead %zu  %.1f/s", done, total, dead, rate);
    const std::string counts = tail;
    // The bar takes what the counts leave, between 10 and 40 cells; on a narrow terminal only
    // the counts are shown.
    const int room = width - 1 - static_cast<int>(counts.size()) - 2;
    if (room < 10)
        return counts.substr(1, static_cast<std::size_t>(std::max(width - 1, 0)));
    const int cells = std::min(room, 40);
    const int filled =
        total == 0 ? cells : static_cast<int>(static_cast<double>(cells) * done / total);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(cells - filled), '.') + "]" + counts;
}

ProgressBar::ProgressBar(int fd, std::size_t total, bool withSuspects)
    : fd_(fd), enabled_(::isatty(fd) == 1), total_(total), withSuspects_(withSuspects),
      started_(std::chrono::steady_clock::now())
{
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::update(std::size_t done, std::size_t dead, std::size_t suspect)
{
    done_ = done;
    dead_ = dead;
    suspect_ = suspect;
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDrawn_ < redrawEvery && done_ != total_)
        return;
    lastDrawn_ = now;
    draw();
}

void ProgressBar::draw()
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
    writeAll(fd_, "\r" +
                      progressLine(done_, total_, dead_, rate, terminalWidth(fd_), withSuspects_,
                                   suspect_) +
                      "\x1b[K");
    drawn_ = true;
}

void ProgressBar::finish()
{
    if (enabled_ && drawn_)
        writeAll(fd_, "\r\x1b[K");
    drawn_ = false;
}

} // namespace quorvel::cli
