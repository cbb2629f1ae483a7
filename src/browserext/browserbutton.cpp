#include "browserext/browserbutton.h"

#include "browserext/ie5tools.h"

namespace quorvel {

namespace {

constexpr const char *kButtonText = "Validate";
constexpr const char *kMenuText = "Validate Favorites";

} // namespace

void AddProgramButton(const std::string &programFolder)
{
    // The browser looks for these files beside the program; they are registered whether or not
    // they exist. The two executable names differ in case only, as the browser sees one file.
    std::string guid;
    AddToolbarButton(true, ekExec, kButtonText, programFolder + "Quorvelon.ico",
                     programFolder + "Quorveloff.ico", programFolder + "Quorvel.Exe", guid);
    AddMenuItem(ekExec, kMenuText, "Quorvel", programFolder + "Quorvel.exe", false, guid);
}

void RemoveProgramButton()
{
    RemoveToolbarButton(kButtonText);
    RemoveMenuItem(kMenuText);
}

} // namespace quorvel
