#include "platform/registry.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/hivefile.h"

namespace quorvel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char *kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string envValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder()
{
    std::string home = envValue("HOME");
    if (!home.empty())
        return home;
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

std::string rootName(RootKey root)
{
    return root == RootKey::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

fs::path hivePath(RootKey root)
{
    return registryFolder() / (rootName(root) + ".reg");
}

// One read-modify-write at a time within the process. Each cycle reads the file afresh, so what
// another process wrote in between is kept.
std::mutex &hiveMutex()
{
    static std::mutex mutex;
    return mutex;
}

ERegistryException setDataFailed(const std::string &name)
{
    return ERegistryException("Failed to set data for '" + name + "'");
}

// Names with line breaks or NULs cannot be stored in the hive text.
bool isStorableName(const std::string &name)
{
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
}

// The profile a fresh Windows account starts with, shown until the user's hive says otherwise.
void addStandardProfile(Hive &hive)
{
    const std::string home = homeFolder();
    if (home.empty())
        return;
    HiveKey &key = hive.create(kShellFolders, true);
    if (key.findValue("Favorites"))
        return;
    HiveValue favorites;
    favorites.name = "Favorites";
    favorites.type = kRegSz;
    favorites.data = (fs::path(home) / "Favorites").string();
    favorites.synthetic = true;
    key.setValue(std::move(favorites));
}

std::string readFile(const fs::path &file, bool &exists)
{
    exists = false;
    // Non-blocking, so that a FIFO in the hive's place is refused instead of waited on.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // No file, or no folder to hold one: an empty hive.
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw ERegistryException("Cannot read registry file '" + file.string() + "'");
    }
    exists = true;
    std::string bytes;
    char buffer[65536];
    struct stat info {
    };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!ok)
        throw ERegistryException("Cannot read registry file '" + file.string() + "'");
    return bytes;
}

Hive loadHive(RootKey root)
{
    const fs::path file = hivePath(root);
    bool exists = false;
    const std::string bytes = readFile(file, exists);
    Hive hive(rootName(root));
    if (exists) {
        try {
            hive = Hive::parse(bytes, rootName(root));
        } catch (const HiveFormatError &error) {
            throw ERegistryException("Cannot read registry file '" + file.string() + "', line " +
                                     std::to_string(error.line()) + ": " + error.what());
        }
    }
    if (root == RootKey::CurrentUser)
        addStandardProfile(hive);
    return hive;
}

// A hive or folder without any write permission bit is left alone even by root, so that a user
// can protect a hive by marking it read-only.
bool isWritable(const fs::path &path, const struct stat &info)
{
    return (info.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Writes through a temporary file in the same folder and renames it over the hive, so that a
// crash leaves either the old or the new hive, never half of one.
bool saveHive(RootKey root, const Hive &hive)
{
    fs::path file = hivePath(root);
    std::error_code error;
    if (fs::is_symlink(file, error)) {
        // Replace the file the link points to, not the link itself.
        file = fs::weakly_canonical(file, error);
        if (error)
            return false;
    }
    const fs::path folder = file.parent_path();
    fs::create_directories(folder, error);
    if (error)
        return false;

    struct stat info {
    };
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !isWritable(folder, info))
        return false;
    mode_t mode = 0600;
    if (::stat(file.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || !isWritable(file, info))
            return false;
        mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    std::string temp = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, hive.serialize()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// A path starting with '\' counts from the root, any other from the open key.
bool resolveKey(const std::string &key, bool open, const std::string &current, std::string &path)
{
    std::string relative;
    if (!normaliseKeyPath(key, relative))
        return false;
    const bool absolute = !key.empty() && key.front() == '\\';
    if (absolute || !open || current.empty())
        path = relative;
    else if (relative.empty())
        path = current;
    else
        path = current + '\\' + relative;
    return true;
}

ValueType valueType(std::uint32_t type)
{
    switch (type) {
    case kRegSz:
        return ValueType::String;
    case kRegExpandSz:
        return ValueType::ExpandString;
    case kRegDword:
        return ValueType::DWord;
    default:
        return ValueType::Binary;
    }
}

void putValue(RootKey root, bool open, const std::string &path, HiveValue value)
{
    if (!open || !isStorableName(value.name))
        throw setDataFailed(value.name);
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root);
    HiveKey *key = hive.find(path);
    // The key may have been deleted since it was opened.
    if (!key)
        throw setDataFailed(value.name);
    const std::string name = value.name;
    key->setValue(std::move(value));
    if (!saveHive(root, hive))
        throw setDataFailed(name);
}

} // namespace

fs::path registryFolder()
{
    const std::string config = envValue("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    const fs::path base = !config.empty() && config.front() == '/'
                              ? fs::path(config)
                              : fs::path(homeFolder()) / ".config";
    return base / "quorvel" / "registry";
}

TRegistry::TRegistry(RootKey root) : root_(root) {}

TRegistry::~TRegistry() = default;

RootKey TRegistry::rootKey() const
{
    return root_;
}

void TRegistry::setRootKey(RootKey root)
{
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate)
{
    std::string path;
    if (!resolveKey(key, open_, currentPath_, path))
        return false;
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    if (!hive.find(path)) {
        if (!canCreate)
            return false;
        hive.create(path);
        if (!saveHive(root_, hive))
            return false;
    }
    currentPath_ = path;
    open_ = true;
    return true;
}

void TRegistry::CloseKey()
{
    currentPath_.clear();
    open_ = false;
}

bool TRegistry::KeyExists(const std::string &key)
{
    std::string path;
    if (!resolveKey(key, open_, currentPath_, path))
        return false;
    std::lock_guard lock(hiveMutex());
    return loadHive(root_).find(path) != nullptr;
}

std::string TRegistry::CurrentPath() const
{
    return currentPath_;
}

bool TRegistry::ValueExists(const std::string &name)
{
    return GetDataType(name) != ValueType::None;
}

ValueType TRegistry::GetDataType(const std::string &name)
{
    if (!open_)
        return ValueType::None;
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    const HiveKey *key = hive.find(currentPath_);
    const HiveValue *value = key ? key->findValue(name) : nullptr;
    return value ? valueType(value->type) : ValueType::None;
}

std::string TRegistry::ReadString(const std::string &name)
{
    if (!open_)
        return {};
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    const HiveKey *key = hive.find(currentPath_);
    const HiveValue *value = key ? key->findValue(name) : nullptr;
    if (!value)
        return {};
    if (value->type != kRegSz && value->type != kRegExpandSz)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return value->data.substr(0, value->data.find('\0'));
}

void TRegistry::WriteString(const std::string &name, const std::string &value)
{
    putValue(root_, open_, currentPath_, HiveValue{name, kRegSz, value});
}

void TRegistry::WriteExpandString(const std::string &name, const std::string &value)
{
    putValue(root_, open_, currentPath_, HiveValue{name, kRegExpandSz, value});
}

void TRegistry::WriteInteger(const std::string &name, std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    putValue(root_, open_, currentPath_, HiveValue{name, kRegDword, bytes});
}

std::uint32_t TRegistry::ReadInteger(const std::string &name)
{
    const HiveValue *value = nullptr;
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    if (open_) {
        if (const HiveKey *key = hive.find(currentPath_))
            value = key->findValue(name);
    }
    if (!value)
        throw ERegistryException("Failed to get data for '" + name + "'");
    if (value->type != kRegDword || value->data.size() != 4)
        throw ERegistryException("Invalid data type for '" + name + "'");
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | static_cast<unsigned char>(value->data[i]);
    return number;
}

bool TRegistry::DeleteValue(const std::string &name)
{
    if (!open_)
        return false;
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    HiveKey *key = hive.find(currentPath_);
    if (!key || !key->removeValue(name))
        return false;
    return saveHive(root_, hive);
}

bool TRegistry::DeleteKey(const std::string &key)
{
    std::string path;
    if (!resolveKey(key, open_, currentPath_, path))
        return false;
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    if (!hive.remove(path))
        return false;
    return saveHive(root_, hive);
}

std::vector<std::string> TRegistry::GetKeyNames()
{
    if (!open_)
        return {};
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    return hive.find(currentPath_) ? hive.childNames(currentPath_) : std::vector<std::string>{};
}

std::vector<std::string> TRegistry::GetValueNames()
{
    if (!open_)
        return {};
    std::lock_guard lock(hiveMutex());
    Hive hive = loadHive(root_);
    std::vector<std::string> names;
    if (const HiveKey *key = hive.find(currentPath_)) {
        for (const HiveValue &value : key->values)
            names.push_back(value.name);
    }
    return names;
}

} // namespace quorvel::platform
