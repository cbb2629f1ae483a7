#pragma once
// One registry hive held in memory, read from and written to the registry editor's export
// format. Key paths are the components below the root joined by '\', "" being the root itself.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

// Value types by their Windows numbers, so that types we do not use survive a rewrite.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// A hive text that cannot be parsed; line() is the 1-based line where the fault was found.
class HiveFormatError : public std::runtime_error
{
public:
    HiveFormatError(int line, const std::string &reason);
    int line() const { return line_; }

private:
    int line_;
};

struct HiveValue {
    std::string name; // "" is the key's default value
    std::uint32_t type = kRegNone;
    // Strings: the text without its terminating NUL (it may hold further NULs). Numbers: four
    // little-endian bytes. Anything else: the raw bytes.
    std::string data;
    // Supplied by the layer rather than the file; not written back unless changed.
    bool synthetic = false;
};

struct HiveKey {
    std::string path;              // letter case as first created
    std::vector<HiveValue> values; // in the order written
    bool synthetic = false;

    HiveValue *findValue(std::string_view name);
    const HiveValue *findValue(std::string_view name) const;
    // Replaces the value of that name in place, or appends it.
    void setValue(HiveValue value);
    bool removeValue(std::string_view name);
};

class Hive
{
public:
    explicit Hive(std::string rootName);

    // Parses a whole hive file. Throws HiveFormatError.
    static Hive parse(std::string_view bytes, const std::string &rootName);
    std::string serialize() const;

    const std::string &rootName() const { return rootName_; }

    HiveKey *find(std::string_view path);
    // Finds or creates the key and every missing ancestor; keys it creates carry `synthetic`.
    HiveKey &create(std::string_view path, bool synthetic = false);
    // Removes the key with all its sub-keys; the root cannot be removed.
    bool remove(std::string_view path);
    // Last path components of the direct sub-keys, in sorted order.
    std::vector<std::string> childNames(std::string_view path) const;

private:
    // Sort key: upper-cased, with the separator sorting before every other character so that
    // a key's sub-keys follow it directly.
    static std::string fold(std::string_view path);

    std::string rootName_;
    std::map<std::string, HiveKey> keys_;
};

// Splits a key path at '\', ignoring one leading and one trailing separator. False for an empty
// component or a control character, which the file format cannot hold safely.
bool normaliseKeyPath(std::string_view key, std::string &out);

} // namespace quorvel::platform
