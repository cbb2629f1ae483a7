#include "browserext/ie5tools.h"

#include "platform/guid.h"
#include "platform/registrysandbox.h"

#include <gtest/gtest.h>

#include <string>

using quorvel::ekBand;
using quorvel::ekClsidExtension;
using quorvel::ekExec;
using quorvel::ekScript;
using quorvel::ExtensionKind;
using quorvel::platform::isGuidText;
using quorvel::test::readFile;
using quorvel::test::ValueList;

namespace {

constexpr const char *kExtensions = "\\Software\\Microsoft\\Internet Explorer\\Extensions\\";
constexpr const char *kButtons = "\\Software\\VIRevu\\ToolBar Buttons\\";
constexpr const char *kMenuItems = "\\Software\\VIRevu\\Menu Items\\";
constexpr const char *kLower = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";
constexpr const char *kUpper = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";

class Registrar : public quorvel::test::RegistrySandbox
{
protected:
    static std::string addButton(int kind, const std::string &text = "Btn", bool visible = true)
    {
        std::string guid = "unset";
        quorvel::AddToolbarButton(visible, static_cast<ExtensionKind>(kind), text, "hot.ico",
                                  "icon.ico", "target", guid);
        return guid;
    }
    static std::string addMenu(int kind, bool customize, const std::string &text = "Menu")
    {
        std::string guid = "unset";
        quorvel::AddMenuItem(static_cast<ExtensionKind>(kind), text, "status", "target", customize,
                             guid);
        return guid;
    }
};

TEST_F(Registrar, ExtensionKeysHoldTheValuesOfTheirKindInOrder)
{
    const ValueList button = {{"Default Visible", "Yes"},
                              {"ButtonText", "Btn"},
                              {"HotIcon", "hot.ico"},
                              {"Icon", "icon.ico"}};
    const ValueList menu = {{"CLSID", kLower}, {"MenuText", "Menu"}, {"MenuStatusBar", "status"}};
    const auto plus = [](ValueList list, const ValueList &tail) {
        list.insert(list.end(), tail.begin(), tail.end());
        return list;
    };
    const ValueList help = plus({{"MenuCostumize", "help"}}, menu);
    struct Case {
        bool isMenu;
        int kind;
        bool customize;
        ValueList expected;
    };
    const Case cases[] = {
        {false, ekClsidExtension, false,
         plus(button, {{"CLSID", kLower}, {"ClsidExtension", "target"}})},
        {false, ekBand, false,
         plus(button,
              {{"CLSID", "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}"}, {"BandCLSID", "target"}})},
        {false, ekScript, false, plus(button, {{"CLSID", kUpper}, {"Script", "target"}})},
        {false, ekExec, false, plus(button, {{"CLSID", kUpper}, {"Exec", "target"}})},
        {false, 4, false, button},
        {false, 255, false, button},
        {true, ekClsidExtension, false, plus(menu, {{"ClsidExtension", "target"}})},
        {true, ekBand, false, menu}, // a band has nothing to start
        {true, ekScript, false, plus(menu, {{"Script", "target"}})},
        {true, ekExec, true, plus(help, {{"Exec", "target"}})},
        {true, 9, true, help},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.isMenu ? "menu item " : "button ") << c.kind);
        const std::string guid = c.isMenu ? addMenu(c.kind, c.customize) : addButton(c.kind);
        ASSERT_TRUE(isGuidText(guid)) << guid;
        EXPECT_EQ(values(kExtensions + guid), c.expected);
        EXPECT_EQ(values(c.isMenu ? kMenuItems : kButtons),
                  (ValueList{{c.isMenu ? "Menu" : "Btn", guid}}));
        EXPECT_TRUE(c.isMenu ? quorvel::RemoveMenuItem("Menu")
                             : quorvel::RemoveToolbarButton("Btn"));
    }
    EXPECT_EQ(values(kExtensions + addButton(ekExec, "Hidden", false)).at(0).second, "No");
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
    EXPECT_EQ(readFile(hive()), after);
}

TEST_F(Registrar, RemovalDeletesNothingUnlessTheStoredTextIsAGuid)
{
    const std::string victim = "{00000000-0000-0000-0000-000000000000";
    writeValue(kExtensions + victim, "v", "must stay");
    const std::string stored[] = {
        "short",
        victim + "\\",                            // 38 characters naming another key
        "{ZZZZZZZZ-0000-0000-0000-000000000000}", // 38 characters, not hexadecimal
    };
    for (const std::string &text : stored) {
        SCOPED_TRACE(text);
        writeValue(kMenuItems, "Item", text);
        const std::string before = readFile(hive());
        EXPECT_TRUE(quorvel::RemoveMenuItem("Item"));
        EXPECT_EQ(readFile(hive()), before);
    }
}

TEST_F(Registrar, FailedAddNamesTheFirstValueAndLeavesNoTrace)
{
    writeValue("\\Other", "v", "x");
    const std::string before = readFile(hive());
    {
        const ReadOnly guard(hive());
        EXPECT_EQ(errorOf([] { addButton(ekExec); }), "Failed to set data for 'Default Visible'");
        EXPECT_EQ(errorOf([] { addMenu(ekExec, false); }), "Failed to set data for 'CLSID'");
        EXPECT_EQ(errorOf([] { addMenu(ekExec, true); }), "Failed to set data for 'MenuCostumize'");
    }
    EXPECT_EQ(readFile(hive()), before);

    // A line break cannot be stored in a value name, so only the bookkeeping write fails: the
    // extension key written just before must not be left behind where no text can reach it.
    EXPECT_EQ(errorOf([] { addButton(ekExec, "Two\nLines"); }),
              "Failed to set data for 'Two\nLines'");
    EXPECT_TRUE(subKeys(kExtensions).empty());
    EXPECT_TRUE(values(kButtons).empty());
}

} // namespace
