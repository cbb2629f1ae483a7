#pragma once
// The favorites folder of a simulated web: one Internet shortcut per link, in its sub-folder.

#include "plan.h"

#include <filesystem>

namespace quorvel::simweb
{

void writeFolder(const Plan &plan, const std::filesystem::path &root);

// The .url files below root, counted.
int countShortcuts(const std::filesystem::path &root);

} // namespace quorvel::simweb
