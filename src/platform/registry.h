#pragma once
// A file-backed registry in place of the Windows one. Each root key is one hive file in the
// registry editor's export format, kept in registryFolder(). Keys are backslash-separated paths
// matched without regard to letter case; a leading or trailing separator is ignored.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::platform {

enum class RootKey { CurrentUser, LocalMachine };
enum class ValueType { None, String, ExpandString, DWord, Binary };

// Raised by TRegistry when a value cannot be written or read as the caller asked, and when a
// hive file cannot be parsed (such a file is never overwritten).
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// $XDG_CONFIG_HOME/quorvel/registry, or ~/.config/quorvel/registry; looked up on every call so
// tests can point it at a temporary folder through the environment.
std::filesystem::path registryFolder();

// The registry class the program talks to: one open key at a time, typed reads and writes.
class TRegistry {
public:
    explicit TRegistry(RootKey root = RootKey::CurrentUser);
    ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    RootKey rootKey() const;
    void setRootKey(RootKey root);

    // Opens key (from the root when it starts with '\', else below the open key). With canCreate
    // a missing key is created (and written to disk at once). False when the key is missing.
    bool OpenKey(const std::string &key, bool canCreate);
    void CloseKey();
    bool KeyExists(const std::string &key);
    std::string CurrentPath() const;

    bool ValueExists(const std::string &name);
    ValueType GetDataType(const std::string &name);

    // A string or expandable string as stored, cut at its first NUL; "" when missing.
    // Throws "Invalid data type for '<name>'" for a value of another type.
    std::string ReadString(const std::string &name);
    // Throws "Failed to set data for '<name>'" when no key is open or the hive cannot be written.
    void WriteString(const std::string &name, const std::string &value);
    void WriteExpandString(const std::string &name, const std::string &value);
    void WriteInteger(const std::string &name, std::uint32_t value);
    std::uint32_t ReadInteger(const std::string &name);

    bool DeleteValue(const std::string &name);
    // Deletes the key with all its sub-keys.
    bool DeleteKey(const std::string &key);
    // Names of the sub-keys of the open key.
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

private:
    RootKey root_;
    std::string currentPath_; // empty when no key is open
    bool open_ = false;
};

} // namespace quorvel::platform
