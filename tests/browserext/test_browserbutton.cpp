#include "browserext/browserbutton.h"

#include "platform/guid.h"
#include "registryfixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

using quorvel::platform::ERegistryException;
using quorvel::platform::isGuidText;
using quorvel::test::readFile;
using quorvel::test::ValueList;

namespace
{

class BrowserButton : public quorvel::test::MachineRegistry
{
protected:
    // Every key of the hive below root, as full paths, depth first.
    static void collectKeys(const std::string &key, std::vector<std::string> &out)
    {
        for (const std::string &child : subKeys(key)) {
            out.push_back(key + "\\" + child);
            collectKeys(key + "\\" + child, out);
        }
    }
    static std::vector<std::string> allKeys()
    {
        std::vector<std::string> out;
        collectKeys("", out);
        return out;
    }
};

TEST_F(BrowserButton, AddRegistersExactlyTheProgramsButtonAndMenuItem)
{
    // The icons do not exist there: their paths are registered all the same.
    const std::string folder = (temp.path() / "program").string() + "/";
    quorvel::AddProgramButton(folder);

    const ValueList buttons = values(kButtons);
    const ValueList menus = values(kMenuItems);
    ASSERT_EQ(buttons.size(), 1u);
    ASSERT_EQ(menus.size(), 1u);
    const std::string g1 = buttons[0].second;
    const std::string g2 = menus[0].second;
    EXPECT_EQ(buttons[0].first, "Validate");
    EXPECT_EQ(menus[0].first, "Validate Favorites");
    EXPECT_TRUE(isGuidText(g1) && isGuidText(g2) && g1 != g2) << g1 << " " << g2;

    EXPECT_EQ(values(kExtensions + g1), (ValueList{
                                            {"Default Visible", "Yes"},
                                            {"ButtonText", "Validate"},
                                            {"HotIcon", folder + "Quorvelon.ico"},
                                            {"Icon", folder + "Quorveloff.ico"},
                                            {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
                                            {"Exec", folder + "Quorvel.Exe"},
                                        }));
    EXPECT_EQ(values(kExtensions + g2), (ValueList{
                                            {"CLSID", "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}"},
                                            {"MenuText", "Validate Favorites"},
                                            {"MenuStatusBar", "Quorvel"},
                                            {"Exec", folder + "Quorvel.exe"},
                                        }));
    const std::string ie = "\\Software\\Microsoft\\Internet Explorer";
    EXPECT_EQ(allKeys(), (std::vector<std::string>{
                             "\\Software",
                             "\\Software\\Microsoft",
                             ie,
                             ie + "\\Extensions",
                             ie + "\\Extensions\\" + std::min(g1, g2),
                             ie + "\\Extensions\\" + std::max(g1, g2),
                             "\\Software\\VIRevu",
                             "\\Software\\VIRevu\\Menu Items",
                             "\\Software\\VIRevu\\ToolBar Buttons",
                         }));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "program")) << "nothing created there";

    const std::string before = readFile(hive());
    quorvel::AddProgramButton(folder);
    EXPECT_EQ(readFile(hive()), before) << "a second add changes nothing";
}

TEST_F(BrowserButton, RemoveTakesBothEntriesAndNothingElse)
{
    writeValue("\\Software\\Microsoft\\Internet Explorer\\Extensions\\{Someone-Else}", "v", "x");
    quorvel::RemoveProgramButton();
    const std::string untouched = readFile(hive());

    quorvel::AddProgramButton("/opt/quorvel/");
    quorvel::RemoveProgramButton();
    EXPECT_TRUE(values(kButtons).empty());
    EXPECT_TRUE(values(kMenuItems).empty());
    EXPECT_EQ(subKeys(kExtensions), std::vector<std::string>{"{Someone-Else}"});

    quorvel::RemoveProgramButton();
    quorvel::AddProgramButton("/opt/quorvel/");
    EXPECT_EQ(values(kButtons).size(), 1u) << "adding after a removal registers again";
    quorvel::RemoveProgramButton();
    EXPECT_NE(untouched.find("{Someone-Else}"), std::string::npos);
}

TEST_F(BrowserButton, RemoveWithoutAddCreatesNoHive)
{
    quorvel::RemoveProgramButton();
    EXPECT_FALSE(std::filesystem::exists(hive()));
}

TEST_F(BrowserButton, AddToAReadOnlyHiveFailsAtTheButtonAndRegistersNoMenuItem)
{
    namespace fs = std::filesystem;
    writeValue("\\Software\\Other", "v", "x");
    const std::string before = readFile(hive());
    const auto mode = fs::status(hive()).permissions();
    fs::permissions(hive(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    try {
        quorvel::AddProgramButton("/opt/quorvel/");
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Default Visible'");
    }
    fs::permissions(hive(), mode);
    EXPECT_EQ(readFile(hive()), before);
    EXPECT_TRUE(values(kMenuItems).empty());
}

} // namespace
