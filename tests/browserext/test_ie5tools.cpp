#include "browserext/ie5tools.h"

#include "platform/guid.h"
#include "registryfixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using quorvel::ekBand;
using quorvel::ekClsidExtension;
using quorvel::ekExec;
using quorvel::ekScript;
using quorvel::ExtensionKind;
using quorvel::platform::ERegistryException;
using quorvel::platform::isGuidText;
using quorvel::test::readFile;
using quorvel::test::ValueList;

namespace
{

constexpr const char *kLower = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";
constexpr const char *kUpper = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
constexpr const char *kBand = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";

class Registrar : public quorvel::test::MachineRegistry
{
protected:
    std::string addButton(ExtensionKind kind, const std::string &text = "Btn", bool visible = true)
    {
        std::string guid;
        quorvel::AddToolbarButton(visible, kind, text, "hot.ico", "icon.ico", "target", guid);
        return guid;
    }
    std::string addMenu(ExtensionKind kind, bool customize, const std::string &text = "Menu")
    {
        std::string guid;
        quorvel::AddMenuItem(kind, text, "status", "target", customize, guid);
        return guid;
    }
};

TEST_F(Registrar, ButtonValuesFollowTheKindInOrder)
{
    const ValueList common = {{"Default Visible", "Yes"},
                              {"ButtonText", "Btn"},
                              {"HotIcon", "hot.ico"},
                              {"Icon", "icon.ico"}};
    struct Case {
        int kind;
        ValueList tail;
    };
    const Case cases[] = {
        {ekClsidExtension, {{"CLSID", kLower}, {"ClsidExtension", "target"}}},
        {ekBand, {{"CLSID", kBand}, {"BandCLSID", "target"}}},
        {ekScript, {{"CLSID", kUpper}, {"Script", "target"}}},
        {ekExec, {{"CLSID", kUpper}, {"Exec", "target"}}},
        {4, {}},
        {255, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string guid = addButton(static_cast<ExtensionKind>(c.kind));
        ASSERT_TRUE(isGuidText(guid)) << guid;
        ValueList expected = common;
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(values(kExtensions + guid), expected);
        EXPECT_EQ(values(kButtons), (ValueList{{"Btn", guid}}));
        EXPECT_TRUE(quorvel::RemoveToolbarButton("Btn"));
    }
    std::string hidden = addButton(ekExec, "Hidden", false);
    EXPECT_EQ(values(kExtensions + hidden).front(),
              (std::pair<std::string, std::string>{"Default Visible", "No"}));
}

TEST_F(Registrar, MenuItemValuesFollowTheKindInOrder)
{
    const ValueList common = {{"CLSID", kLower}, {"MenuText", "Menu"}, {"MenuStatusBar", "status"}};
    struct Case {
        int kind;
        bool customize;
        ValueList expected;
    };
    ValueList help = {{"MenuCostumize", "help"}};
    help.insert(help.end(), common.begin(), common.end());
    const auto with = [](ValueList list, const char *name) {
        list.emplace_back(name, "target");
        return list;
    };
    const Case cases[] = {
        {ekClsidExtension, false, with(common, "ClsidExtension")},
        {ekBand, false, common}, // a band has nothing to start
        {ekScript, false, with(common, "Script")},
        {ekExec, false, with(common, "Exec")},
        {ekExec, true, with(help, "Exec")},
        {9, true, help},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string guid = addMenu(static_cast<ExtensionKind>(c.kind), c.customize);
        ASSERT_TRUE(isGuidText(guid)) << guid;
        EXPECT_EQ(values(kExtensions + guid), c.expected);
        EXPECT_EQ(values(kMenuItems), (ValueList{{"Menu", guid}}));
        EXPECT_TRUE(quorvel::RemoveMenuItem("Menu"));
    }
}

TEST_F(Registrar, SecondAddOfATextWritesNothing)
{
    const std::string first = addButton(ekExec);
    const std::string menu = addMenu(ekExec, false, "Btn"); // menu texts are kept apart
    const std::string before = readFile(hive());
    EXPECT_EQ(addButton(ekScript), "X");
    EXPECT_EQ(addMenu(ekExec, true, "btn"), "X") << "texts match without regard to case";
    EXPECT_EQ(readFile(hive()), before);
    EXPECT_NE(first, menu);
    EXPECT_EQ(values(kButtons), (ValueList{{"Btn", first}}));
}

TEST_F(Registrar, RemovalTakesTheBookkeepingValueAndTheWholeExtensionKey)
{
    const std::string guid = addButton(ekExec);
    const std::string kept = addButton(ekExec, "Other");
    writeValue(kExtensions + guid + "\\Sub\\Deeper", "x", "y");

    EXPECT_TRUE(quorvel::RemoveToolbarButton("btn"));
    EXPECT_EQ(values(kButtons), (ValueList{{"Other", kept}}));
    EXPECT_EQ(subKeys(kExtensions), std::vector<std::string>{kept});

    const std::string after = readFile(hive());
    EXPECT_TRUE(quorvel::RemoveToolbarButton("Btn")) << "a second removal is no error";
    EXPECT_TRUE(quorvel::RemoveMenuItem("Btn"));
    EXPECT_EQ(readFile(hive()), after);
    EXPECT_NE(addButton(ekExec), guid) << "adding again makes a new entry";
}

TEST_F(Registrar, RemovalDeletesNothingUnlessTheStoredTextIsAGuid)
{
    const std::string victim = "{00000000-0000-0000-0000-000000000000";
    writeValue(kExtensions + victim, "v", "must stay");
    writeValue(kExtensions + std::string("{ZZZZZZZZ-0000-0000-0000-000000000000}"), "v", "stays");
    const std::string stored[] = {
        "short",
        victim + "\\",                            // 38 characters naming another key
        "{ZZZZZZZZ-0000-0000-0000-000000000000}", // 38 characters, braces, not hexadecimal
    };
    for (const std::string &text : stored) {
        SCOPED_TRACE(text);
        writeValue(kMenuItems, "Item", text);
        const std::string before = readFile(hive());
        EXPECT_TRUE(quorvel::RemoveMenuItem("Item"));
        EXPECT_EQ(readFile(hive()), before);
    }
    EXPECT_EQ(subKeys(kExtensions).size(), 2u);
}

TEST_F(Registrar, RemovalOfABookkeepingValueOfAnotherTypeRaises)
{
    quorvel::platform::TRegistry registry(quorvel::platform::RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey(kButtons, true));
    registry.WriteInteger("Numeric", 1);
    try {
        quorvel::RemoveToolbarButton("Numeric");
        FAIL() << "no error";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Numeric'");
    }
}

TEST_F(Registrar, FailedAddNamesTheFirstValueAndLeavesTheOutputAlone)
{
    auto blocked = blockWrites();
    struct Case {
        const char *what;
        std::function<void(std::string &)> add;
        const char *message;
    };
    const Case cases[] = {
        {"button",
         [](std::string &guid) {
             quorvel::AddToolbarButton(true, ekExec, "B", "h", "i", "t", guid);
         },
         "Failed to set data for 'Default Visible'"},
        {"menu item",
         [](std::string &guid) { quorvel::AddMenuItem(ekExec, "M", "s", "t", false, guid); },
         "Failed to set data for 'CLSID'"},
        {"menu item with placement",
         [](std::string &guid) { quorvel::AddMenuItem(ekExec, "M", "s", "t", true, guid); },
         "Failed to set data for 'MenuCostumize'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string guid = "unchanged";
        try {
            c.add(guid);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException &error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_EQ(guid, "unchanged");
    }
}

TEST_F(Registrar, EntryWhoseBookkeepingFailsLeavesNoOrphanKey)
{
    // A line break cannot be stored in a value name, so only the bookkeeping write fails.
    std::string guid = "unchanged";
    try {
        quorvel::AddToolbarButton(true, ekExec, "Two\nLines", "h", "i", "t", guid);
        FAIL() << "no error";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Two\nLines'");
    }
    EXPECT_EQ(guid, "unchanged");
    EXPECT_TRUE(subKeys(kExtensions).empty());
    EXPECT_TRUE(values(kButtons).empty());
}

} // namespace
