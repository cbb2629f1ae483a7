#include "catalogue/shortcutreader.h"

#include "platform/codepage.h"

#include <algorithm>

namespace quorvel
{

namespace
{

constexpr std::size_t filesPerRun = 64;
constexpr std::size_t filesPerThread = 512;
constexpr unsigned mostReaders = 4;

} // namespace

ShortcutReader::ShortcutReader(Catalogue &catalogue, std::size_t first, unsigned mostThreads,
                               std::function<void()> onReady, AfterRead afterRead)
    : catalogue_(catalogue), first_(first), count_(catalogue.Files.size()),
      onReady_(std::move(onReady)), afterRead_(std::move(afterRead)), codePage_(platform::GetACP()), next_(0)
{
    const std::size_t files = count_ > first_ ? count_ - first_ : 0;
    runs_ = (files + filesPerRun - 1) / filesPerRun;
    runDone_ = std::make_unique<std::atomic<bool>[]>(runs_);
    if (runs_ == 0)
        return;
    const auto readers = static_cast<unsigned>(std::min<std::size_t>(
        {std::max(1u, std::thread::hardware_concurrency()),
         mostThreads == 0 ? mostReaders : mostThreads, 1 + files / filesPerThread}));
    if (readers == 1 && mostThreads == 0) {
        read(); // too few files for a thread to pay: read them here and now
        return;
    }
    for (unsigned r = 0; r < readers; ++r) {
        try {
            threads_.emplace_back([this] { read(); });
        } catch (...) {
            break; // no more threads to be had: those started share the files
        }
    }
    if (threads_.empty())
        read(); // not even one: read them all here and now
}

ShortcutReader::~ShortcutReader()
{
    // Abandoned (the caller failed): the files not yet begun are left unread.
    next_ = runs_;
    join();
}

void ShortcutReader::read()
{
    try {
        platform::CodePageDecoder ansi(codePage_);
        for (;;) {
            const std::size_t run = next_.fetch_add(1);
            if (run >= runs_)
                return;
            const std::size_t begin = first_ + run * filesPerRun;
            const std::size_t end = std::min(count_, begin + filesPerRun);
            for (std::size_t i = begin; i < end; ++i) {
                catalogue_.URL_List[i] = readShortcutURL(catalogue_.Files[i], ansi);
                if (afterRead_)
                    afterRead_(i, ansi);
            }
            runDone_[run].store(true, std::memory_order_release);
            if (onReady_)
                onReady_();
        }
    } catch (...) {
        {
            std::lock_guard lock(failureMutex_);
            if (!failure_)
                failure_ = std::current_exception();
        }
        next_ = runs_; // the others stop too
        failed_ = true;
        if (onReady_)
            onReady_();
    }
}

std::size_t ShortcutReader::readyUpTo()
{
    if (failed_) {
        join();
        std::rethrow_exception(failure_);
    }
    while (readyRuns_ < runs_ && runDone_[readyRuns_].load(std::memory_order_acquire))
        ++readyRuns_;
    return std::min(count_, first_ + readyRuns_ * filesPerRun);
}

void ShortcutReader::finish()
{
    join();
    if (failure_)
        std::rethrow_exception(failure_);
    readyRuns_ = runs_;
}

void ShortcutReader::join()
{
    for (std::thread &thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
}

} // namespace quorvel
