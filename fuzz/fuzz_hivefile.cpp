// The registry hive parser on arbitrary .reg text. A hive it accepts must survive a rewrite:
// written out and read back it gives the same text again, or a user's registry would change
// each time the program saves it.

#include "platform/hivefile.h"

#include "fuzzinput.h"

namespace
{

using quorvel::platform::Hive;
using quorvel::platform::HiveFormatError;

// Visits every key below path, as the registry layer does when it lists sub-keys.
void walk(Hive &hive, const std::string &path, int depth)
{
    if (depth > 64)
        return;
    for (const std::string &name : hive.childNames(path)) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        quorvel::fuzz::check(hive.find(child) != nullptr, "a listed sub-key can be found");
        walk(hive, child, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace quorvel::fuzz;
    const std::string_view text = asText(data, size);
    std::string written;
    try {
        Hive hive = Hive::parse(text, "HKEY_CURRENT_USER");
        walk(hive, "", 0);
        written = hive.serialize();
    } catch (const HiveFormatError &error) {
        check(error.line() >= 1, "a format error names a line");
        return 0;
    }
    try {
        const Hive again = Hive::parse(written, "HKEY_CURRENT_USER");
        check(again.serialize() == written, "a written hive reads back unchanged");
    } catch (const HiveFormatError &) {
        check(false, "a written hive can be read back");
    }
    return 0;
}
