#pragma once
// The --output file. It is made at the start (so a path that cannot be written fails before
// an hour of checking) as a temporary file beside the target, and takes the target's name only
// once the report is complete: an interrupted or failed write never leaves half a report in
// place of an older one.

#include <fstream>
#include <string>

namespace quorvel::cli
{

class ReportFile
{
public:
    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    // False with a message when the file cannot be made.
    bool open(const std::string &path, std::string &error);
    std::ostream &stream() { return stream_; }
    // Flushes, syncs and renames into place; false with a message when that fails.
    bool commit(std::string &error);

private:
    std::string path_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

} // namespace quorvel::cli
