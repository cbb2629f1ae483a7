// The registry hive parser on arbitrary .reg text. A hive it accepts must survive a rewrite:
// written out and read back it holds the same keys and values, or a user's registry would change
// each time the program saves it.

#include "platform/hivefile.h"

#include "fuzzinput.h"

#include <optional>

namespace
{

using quorvel::platform::Hive;
using quorvel::platform::HiveFormatError;

using quorvel::fuzz::check;

// Compares every key below path with its copy in the hive read back, as the registry layer would
// list and read them.
void compare(Hive &hive, Hive &again, const std::string &path, int depth)
{
    if (depth > 64)
        return;
    const quorvel::platform::HiveKey *key = hive.find(path);
    const quorvel::platform::HiveKey *copy = again.find(path);
    check(key != nullptr, "a listed sub-key can be found");
    check(copy != nullptr, "a key survives a rewrite");
    // Keys without values of their own are not written; their sub-keys bring them back.
    check(key->values.size() == copy->values.size(), "a key keeps its values");
    for (std::size_t i = 0; i < key->values.size(); ++i) {
        const auto &value = key->values[i];
        const auto &other = copy->values[i];
        check(value.name == other.name && value.type == other.type && value.data == other.data,
              "a value survives a rewrite");
    }
    for (const std::string &name : hive.childNames(path))
        compare(hive, again, path.empty() ? name : path + "\\" + name, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::optional<Hive> hive;
    try {
        hive = Hive::parse(quorvel::fuzz::asText(data, size), "HKEY_CURRENT_USER");
    } catch (const HiveFormatError &error) {
        check(error.line() >= 1, "a format error names a line");
        return 0;
    }
    const std::string written = hive->serialize();
    try {
        Hive again = Hive::parse(written, "HKEY_CURRENT_USER");
        compare(*hive, again, "", 0);
        check(again.serialize() == written, "a written hive writes the same text again");
    } catch (const HiveFormatError &) {
        check(false, "a written hive can be read back");
    }
    return 0;
}
