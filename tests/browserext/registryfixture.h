#pragma once
// A registry of its own for each test: the environment points the registry layer at a fresh
// temporary folder, and helpers read back what landed in HKEY_LOCAL_MACHINE.

#include "platform/registry.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test
{

class ScopedEnv
{
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name_;
    std::optional<std::string> old_;
};

using ValueList = std::vector<std::pair<std::string, std::string>>;

class MachineRegistry : public ::testing::Test
{
protected:
    TempDir temp;
    ScopedEnv config{"XDG_CONFIG_HOME", (temp.path() / "config").string()};

    static constexpr const char *kExtensions =
        "\\Software\\Microsoft\\Internet Explorer\\Extensions\\";
    static constexpr const char *kButtons = "\\Software\\VIRevu\\ToolBar Buttons\\";
    static constexpr const char *kMenuItems = "\\Software\\VIRevu\\Menu Items\\";

    std::filesystem::path hive() const
    {
        return platform::registryFolder() / "HKEY_LOCAL_MACHINE.reg";
    }

    // The string values of a key in the order they were written; empty when the key is missing.
    static ValueList values(const std::string &key)
    {
        platform::TRegistry registry(platform::RootKey::LocalMachine);
        ValueList out;
        if (!registry.OpenKey(key, false))
            return out;
        for (const std::string &name : registry.GetValueNames())
            out.emplace_back(name, registry.ReadString(name));
        return out;
    }

    static std::vector<std::string> subKeys(const std::string &key)
    {
        platform::TRegistry registry(platform::RootKey::LocalMachine);
        return registry.OpenKey(key, false) ? registry.GetKeyNames() : std::vector<std::string>{};
    }

    static void writeValue(const std::string &key, const std::string &name, const std::string &data)
    {
        platform::TRegistry registry(platform::RootKey::LocalMachine);
        ASSERT_TRUE(registry.OpenKey(key, true));
        registry.WriteString(name, data);
    }

    // Makes HKEY_LOCAL_MACHINE unwritable: its folder cannot be created.
    ScopedEnv blockWrites()
    {
        return ScopedEnv("XDG_CONFIG_HOME", temp.write("not-a-folder", "x").string());
    }
};

} // namespace quorvel::test
