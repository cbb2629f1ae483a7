#pragma once
// A registry of its own for each test: XDG_CONFIG_HOME and HOME point into a fresh temporary
// folder for the test's lifetime, and helpers read back what landed in the hives.

#include "platform/registry.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

class ScopedEnv
{
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char *name_;
    std::optional<std::string> old_;
};

using ValueList = std::vector<std::pair<std::string, std::string>>;

class RegistrySandbox : public ::testing::Test
{
protected:
    using RootKey = platform::RootKey;
    using TRegistry = platform::TRegistry;

    TempDir temp;
    ScopedEnv config{"XDG_CONFIG_HOME", (temp.path() / "config").string()};
    ScopedEnv home{"HOME", (temp.path() / "home").string()};

    static std::filesystem::path hive(RootKey root = RootKey::LocalMachine)
    {
        return platform::registryFolder() /
               (root == RootKey::LocalMachine ? "HKEY_LOCAL_MACHINE.reg" : "HKEY_CURRENT_USER.reg");
    }

    // The string values of a key in the order written; empty when the key is missing.
    static ValueList values(const std::string &key, RootKey root = RootKey::LocalMachine)
    {
        TRegistry registry(root);
        ValueList out;
        if (registry.OpenKey(key, false)) {
            for (const std::string &name : registry.GetValueNames())
                out.emplace_back(name, registry.ReadString(name));
        }
        return out;
    }

    static std::vector<std::string> subKeys(const std::string &key)
    {
        TRegistry registry(RootKey::LocalMachine);
        return registry.OpenKey(key, false) ? registry.GetKeyNames() : std::vector<std::string>{};
    }

    static void writeValue(const std::string &key, const std::string &name, const std::string &data)
    {
        TRegistry registry(RootKey::LocalMachine);
        ASSERT_TRUE(registry.OpenKey(key, true));
        registry.WriteString(name, data);
    }

    // The text of the registry error that action raises.
    template <class Action> static std::string errorOf(Action action)
    {
        try {
            action();
        } catch (const platform::ERegistryException &error) {
            return error.what();
        }
        return "<no error>";
    }

    // Takes every write permission bit off a file or folder for the guard's lifetime; the
    // registry layer respects that even for root.
    class ReadOnly
    {
    public:
        explicit ReadOnly(std::filesystem::path path)
            : path_(std::move(path)), mode_(std::filesystem::status(path_).permissions())
        {
            using std::filesystem::perms;
            std::filesystem::permissions(
                path_, perms::owner_write | perms::group_write | perms::others_write,
                std::filesystem::perm_options::remove);
        }
        ~ReadOnly() { std::filesystem::permissions(path_, mode_); }

    private:
        std::filesystem::path path_;
        std::filesystem::perms mode_;
    };
};

} // namespace quorvel::test
