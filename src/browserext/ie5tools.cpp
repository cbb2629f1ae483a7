#include "browserext/ie5tools.h"

#include <utility>
#include <vector>

#include "platform/guid.h"
#include "platform/registry.h"

namespace quorvel {

using platform::RootKey;
using platform::TRegistry;

namespace {

constexpr const char *kButtonsKey = "\\Software\\VIRevu\\ToolBar Buttons\\";
constexpr const char *kMenuItemsKey = "\\Software\\VIRevu\\Menu Items\\";
constexpr const char *kExtensionsKey = "\\Software\\Microsoft\\Internet Explorer\\Extensions\\";

// The browser's class identifiers; the letter case differs between them and is kept as the
// browser's own registrations have it.
constexpr const char *kClsidLower = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";
constexpr const char *kClsidUpper = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
constexpr const char *kClsidBand = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";

constexpr const char *kAlreadyRegistered = "X";

using Values = std::vector<std::pair<std::string, std::string>>;

bool isKnownKind(ExtensionKind kind)
{
    return kind <= ekExec;
}

const char *targetValueName(ExtensionKind kind)
{
    switch (kind) {
    case ekClsidExtension:
        return "ClsidExtension";
    case ekBand:
        return "BandCLSID";
    case ekScript:
        return "Script";
    default:
        return "Exec";
    }
}

// Writes the extension key and then the bookkeeping value. An entry whose writing fails is
// removed again, so that no extension key is left that no text can find and remove.
void addEntry(const char *bookkeepingKey, const std::string &text, const Values &values,
              std::string &guid)
{
    const std::string fresh = platform::newGuidText();
    TRegistry registry(RootKey::LocalMachine);
    registry.OpenKey(bookkeepingKey, true);
    if (registry.ValueExists(text)) {
        registry.CloseKey();
        guid = std::string(kAlreadyRegistered);
        return;
    }
    registry.CloseKey();

    const std::string extensionKey = kExtensionsKey + fresh;
    try {
        registry.OpenKey(extensionKey, true);
        for (const auto &[name, data] : values)
            registry.WriteString(name, data);
        registry.CloseKey();
        registry.OpenKey(bookkeepingKey, true);
        registry.WriteString(text, fresh);
        registry.CloseKey();
    } catch (...) {
        try {
            registry.CloseKey();
            registry.DeleteKey(extensionKey);
        } catch (...) {
            // The original failure is the one worth reporting.
        }
        throw;
    }
    guid = fresh;
}

bool removeEntry(const char *bookkeepingKey, const std::string &text)
{
    TRegistry registry(RootKey::LocalMachine);
    std::string stored;
    if (registry.OpenKey(bookkeepingKey, false))
        stored = registry.ReadString(text);
    // Only a real GUID text may name the key to delete: anything else could point elsewhere
    // below the extension key.
    if (!platform::isGuidText(stored))
        return true;
    registry.DeleteValue(text);
    registry.CloseKey();
    registry.DeleteKey(kExtensionsKey + stored);
    return true;
}

} // namespace

void AddToolbarButton(bool visible, ExtensionKind kind, const std::string &buttonText,
                      const std::string &hotIcon, const std::string &icon,
                      const std::string &target, std::string &guid)
{
    Values values = {
        {"Default Visible", visible ? "Yes" : "No"},
        {"ButtonText", buttonText},
        {"HotIcon", hotIcon},
        {"Icon", icon},
    };
    if (isKnownKind(kind)) {
        const char *clsid = kind == ekClsidExtension ? kClsidLower
                            : kind == ekBand         ? kClsidBand
                                                     : kClsidUpper;
        values.emplace_back("CLSID", clsid);
        values.emplace_back(targetValueName(kind), target);
    }
    addEntry(kButtonsKey, buttonText, values, guid);
}

void AddMenuItem(ExtensionKind kind, const std::string &menuText, const std::string &statusBar,
                 const std::string &target, bool menuCustomize, std::string &guid)
{
    Values values;
    if (menuCustomize)
        values.emplace_back("MenuCostumize", "help");
    values.emplace_back("CLSID", kClsidLower);
    values.emplace_back("MenuText", menuText);
    values.emplace_back("MenuStatusBar", statusBar);
    // A band cannot be started from a menu, so such an item gets no target.
    if (isKnownKind(kind) && kind != ekBand)
        values.emplace_back(targetValueName(kind), target);
    addEntry(kMenuItemsKey, menuText, values, guid);
}

bool RemoveToolbarButton(const std::string &buttonText)
{
    return removeEntry(kButtonsKey, buttonText);
}

bool RemoveMenuItem(const std::string &menuText)
{
    return removeEntry(kMenuItemsKey, menuText);
}

} // namespace quorvel
