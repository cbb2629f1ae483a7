#pragma once
// Reading the URLs of shortcuts already listed (listShortcuts), on a few threads of its own.
// Opening, reading and closing each file costs far more than walking the folders, and each file
// is read on its own, so the files are shared out in small runs; a caller may use the URLs as
// they become ready, in catalogue order, while the rest are still being read.

#include "catalogue/catalogue.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel
{

namespace platform
{
class CodePageDecoder;
}

class ShortcutReader
{
public:
    // Starts reading URL_List[first..] from Files[first..] on at most mostThreads threads (0:
    // as many as help, and none for a few files, which are then read before this returns); the
    // catalogue's lists must not be resized, nor those entries touched, until finish(). onReady,
    // when given, is called on a reading thread each time more URLs are ready. afterRead, when
    // given, is called on the reading thread for each entry as soon as its URL is read, before
    // the entry counts as ready, with that thread's decoder of the 8-bit code page: work done
    // there leaves the caller's thread free.
    using AfterRead = std::function<void(std::size_t index, platform::CodePageDecoder &ansi)>;
    explicit ShortcutReader(Catalogue &catalogue, std::size_t first, unsigned mostThreads = 0,
                            std::function<void()> onReady = {}, AfterRead afterRead = {});
    ~ShortcutReader();
    ShortcutReader(const ShortcutReader &) = delete;
    ShortcutReader &operator=(const ShortcutReader &) = delete;

    // URL_List[first, readyUpTo()) are read and may be used (or moved from). One caller at a
    // time. A failed read (out of memory) is thrown from here, once the threads have ended.
    std::size_t readyUpTo();
    // Waits until every URL is read; throws a failed read.
    void finish();

private:
    void read();
    void join();

    Catalogue &catalogue_;
    const std::size_t first_;
    const std::size_t count_;
    std::function<void()> onReady_;
    AfterRead afterRead_;
    unsigned codePage_;
    std::atomic<std::size_t> next_;
    // One flag per run of files, set once that run's URLs are read.
    std::unique_ptr<std::atomic<bool>[]> runDone_;
    std::size_t runs_ = 0;
    std::size_t readyRuns_ = 0; // the caller's cursor: runs [0, readyRuns_) are all done
    std::atomic<bool> failed_{false};
    std::mutex failureMutex_;
    std::exception_ptr failure_;
    std::vector<std::thread> threads_;
};

} // namespace quorvel
