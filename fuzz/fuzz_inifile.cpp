// The INI reader on arbitrary file bytes. First line: section|key|default|buffer size; the rest
// is the file. The file lives in memory (memfd) and is opened by its /proc path, so the reader
// goes through its ordinary open and read calls without touching the disk.

#include "platform/inifile.h"

#include "fuzzinput.h"

#include <sys/mman.h>
#include <unistd.h>

namespace
{

int memoryFile()
{
    static const int fd = ::memfd_create("quorvel-fuzz-ini", MFD_CLOEXEC);
    return fd;
}

bool writeAll(int fd, std::string_view bytes)
{
    if (::ftruncate(fd, 0) != 0)
        return false;
    for (off_t at = 0; !bytes.empty();) {
        const ssize_t wrote = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (wrote <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
        at += wrote;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace quorvel::fuzz;
    const auto [params, file] = splitFirstLine(asText(data, size));
    const auto field = fields(params, 4);
    const std::string section(field[0]), key(field[1]), fallback(field[2]);
    // Up to the reader's own largest buffer and a little past it.
    const std::size_t bufferSize = numberOr(field[3], 2048, 20 * 1024 * 1024);

    const int fd = memoryFile();
    if (fd < 0 || !writeAll(fd, file))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::string value =
        quorvel::platform::GetPrivateProfileString(section, key, fallback, bufferSize, path);

    check(value.size() < std::max<std::size_t>(bufferSize, 1), "value fits the caller's buffer");
    check(value.find('\0') == std::string::npos, "value is a C string");
    check(value.find_first_of("\r\n") == std::string::npos ||
              fallback.find_first_of("\r\n") != std::string::npos,
          "value stays within one line");
    return 0;
}
