#pragma once
// The directory dialog both folder choices of the window show: folders only, modal.

#include <QString>
#include <string>

class QWidget;

namespace quorvel
{

// Returns the chosen folder in the file system's encoding, without a trailing separator except
// for the root itself, or "" when the user cancelled.
std::string askForFolder(QWidget *owner, const QString &caption, const std::string &start);

} // namespace quorvel
