#include "browserext/browserbutton.h"

#include "platform/guid.h"
#include "platform/registrysandbox.h"

#include <gtest/gtest.h>

#include <string>

using quorvel::platform::isGuidText;
using quorvel::test::readFile;
using quorvel::test::ValueList;

namespace {

const std::string kExtensions = "\\Software\\Microsoft\\Internet Explorer\\Extensions";

using BrowserButton = quorvel::test::RegistrySandbox;

TEST_F(BrowserButton, AddRegistersExactlyTheProgramsButtonAndMenuItem)
{
    // The icons do not exist there: their paths are registered all the same.
    const std::string folder = (temp.path() / "program").string() + "/";
    quorvel::AddProgramButton(folder);

    const ValueList buttons = values("\\Software\\VIRevu\\ToolBar Buttons");
    const ValueList menus = values("\\Software\\VIRevu\\Menu Items");
    ASSERT_EQ(buttons.size(), 1u);
    ASSERT_EQ(menus.size(), 1u);
    const std::string g1 = buttons[0].second;
    const std::string g2 = menus[0].second;
    EXPECT_EQ(buttons[0].first, "Validate");
    EXPECT_EQ(menus[0].first, "Validate Favorites");
    EXPECT_TRUE(isGuidText(g1) && isGuidText(g2) && g1 != g2) << g1 << " " << g2;
    EXPECT_EQ(values(kExtensions + "\\" + g1),
              (ValueList{{"Default Visible", "Yes"},
                         {"ButtonText", "Validate"},
                         {"HotIcon", folder + "Quorvelon.ico"},
                         {"Icon", folder + "Quorveloff.ico"},
                         {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
                         {"Exec", folder + "Quorvel.Exe"}}));
    EXPECT_EQ(values(kExtensions + "\\" + g2),
              (ValueList{{"CLSID", "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}"},
                         {"MenuText", "Validate Favorites"},
                         {"MenuStatusBar", "Quorvel"},
                         {"Exec", folder + "Quorvel.exe"}}));
    // Nothing else below the two folders the entries live in.
    EXPECT_EQ(subKeys(""), std::vector<std::string>{"Software"});
    EXPECT_EQ(subKeys("\\Software"), (std::vector<std::string>{"Microsoft", "VIRevu"}));
    EXPECT_EQ(subKeys(kExtensions), (std::vector<std::string>{std::min(g1, g2), std::max(g1, g2)}));

    const std::string before = readFile(hive());
    quorvel::AddProgramButton(folder);
    EXPECT_EQ(readFile(hive()), before) << "a second add changes nothing";
}

TEST_F(BrowserButton, RemoveTakesBothEntriesAndNothingElse)
{
    quorvel::RemoveProgramButton();
    EXPECT_FALSE(std::filesystem::exists(hive())) << "removing nothing writes nothing";

    writeValue(kExtensions + "\\{Someone-Else}", "v", "x");
    quorvel::AddProgramButton("/opt/quorvel/");
    quorvel::RemoveProgramButton();
    EXPECT_TRUE(values("\\Software\\VIRevu\\ToolBar Buttons").empty());
    EXPECT_TRUE(values("\\Software\\VIRevu\\Menu Items").empty());
    EXPECT_EQ(subKeys(kExtensions), std::vector<std::string>{"{Someone-Else}"});
}

TEST_F(BrowserButton, AddToAReadOnlyHiveFailsAtTheButtonAndRegistersNoMenuItem)
{
    writeValue("\\Software\\Other", "v", "x");
    const std::string before = readFile(hive());
    {
        const ReadOnly guard(hive());
        EXPECT_EQ(errorOf([] { quorvel::AddProgramButton("/opt/quorvel/"); }),
                  "Failed to set data for 'Default Visible'");
    }
    EXPECT_EQ(readFile(hive()), before);
}

} // namespace
