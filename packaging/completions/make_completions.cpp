// Writes quorvel-check's completions for bash, zsh and fish into a folder; the build runs it,
// so they always name the options of the program built beside them.

#include "cli/completions.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::cerr << "usage: make_completions FOLDER\n";
        return 2;
    }
    using quorvel::cli::Shell;
    const std::filesystem::path folder = argv[1];
    const struct {
        const char *file;
        Shell shell;
    } scripts[] = {
        {"quorvel-check", Shell::Bash},
        {"_quorvel-check", Shell::Zsh},
        {"quorvel-check.fish", Shell::Fish},
    };
    for (const auto &script : scripts) {
        std::ofstream out(folder / script.file, std::ios::binary | std::ios::trunc);
        out << quorvel::cli::completionScript(script.shell);
        if (!out.flush()) {
            std::cerr << "make_completions: cannot write " << (folder / script.file) << '\n';
            return 1;
        }
    }
    return 0;
}
