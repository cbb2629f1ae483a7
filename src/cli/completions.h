#pragma once
// Shell completions for quorvel-check, made from the parser's option table and the --help text,
// so that they name exactly the options the program takes.

#include <string>
#include <vector>

namespace quorvel::cli
{

enum class Shell { Bash, Zsh, Fish };

// What the value of an option (or the folder argument) completes to, from the value's name in
// --help: FILE a file, DIR or FOLDER a folder, FORMAT a --format name, BROWSER a browser's
// name or "list", anything else nothing.
enum class ValueKind { None, Free, File, Folder, Format, Browser };

struct CompletedOption {
    std::string name; // without the leading "--"
    char letter = '\0';
    ValueKind value = ValueKind::None;
    std::string description; // the first clause of its --help text
};

// Every option of the table with what --help says of it.
std::vector<CompletedOption> completedOptions();

// The completion script of one shell, as installed: bash-completion's
// completions/quorvel-check, zsh's _quorvel-check, fish's quorvel-check.fish.
std::string completionScript(Shell shell);

} // namespace quorvel::cli
