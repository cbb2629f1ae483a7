#pragma once
// The two dialogs of moving dead links: the folder chooser and the report box. Both are modal;
// tests replace them so that nothing blocks.

#include "verify/deadlinkmover.h"

#include <functional>
#include <string>

class QWidget;

namespace quorvel {

// Returns the chosen folder, or "" when the user cancelled.
using FolderChooser = std::function<std::string(QWidget *owner)>;
// Shows the report of a move.
using MoveReportPresenter = std::function<void(QWidget *owner, const MoveReport &report)>;

std::string chooseDestinationFolder(QWidget *owner);
void showMoveReport(QWidget *owner, const MoveReport &report);

// Each replaces the current function and returns the previous one; an empty function restores
// the real dialog.
FolderChooser setFolderChooser(FolderChooser chooser);
MoveReportPresenter setMoveReportPresenter(MoveReportPresenter presenter);

} // namespace quorvel
