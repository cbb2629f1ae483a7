#pragma once
// Registers and removes Internet Explorer toolbar buttons and menu items. Each entry is one key
// under the browser's extension key, named by a fresh GUID; the registrar's own bookkeeping keys
// map each button or menu text to that GUID so that the entry can be removed by its text alone.
// Everything lies under HKEY_LOCAL_MACHINE; registry failures raise ERegistryException.

#include <cstdint>
#include <string>

namespace quorvel {

// What the button or menu item does. One byte, so that any value can be passed; values outside
// the four below write no class identifier and no target.
enum ExtensionKind : std::uint8_t {
    ekClsidExtension = 0,
    ekBand = 1,
    ekScript = 2,
    ekExec = 3,
};

// guid receives the GUID text of the new extension key, or "X" when the text was registered
// before (then nothing is written). On failure guid is left as it was.
void AddToolbarButton(bool visible, ExtensionKind kind, const std::string &buttonText,
                      const std::string &hotIcon, const std::string &icon,
                      const std::string &target, std::string &guid);
void AddMenuItem(ExtensionKind kind, const std::string &menuText, const std::string &statusBar,
                 const std::string &target, bool menuCustomize, std::string &guid);

// True in every case; an unregistered text is no error.
bool RemoveToolbarButton(const std::string &buttonText);
bool RemoveMenuItem(const std::string &menuText);

} // namespace quorvel
