#pragma once
// The main window's two commands that put the program on the browser's toolbar and menu and take
// it off again. Registry errors go to the caller.

#include <string>

namespace quorvel {

// programFolder is the program's folder with its trailing separator.
void AddProgramButton(const std::string &programFolder);
void RemoveProgramButton();

} // namespace quorvel
