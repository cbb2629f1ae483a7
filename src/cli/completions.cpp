#include "cli/completions.h"

#include "bookmarks/browserstores.h"
#include "cli/options.h"

#include <map>
#include <regex>
#include <sstream>

namespace quorvel::cli
{

namespace
{

struct HelpEntry {
    std::string valueName;
    std::string firstLine;
    std::string nextLine;   // the description's second line, "" when it has one line only
    bool continues = false; // the description goes on below its first line
};

// The options' entries of --help: "  -j, --jobs=N   at most N ..." and the lines below it that
// are indented further.
std::map<std::string, HelpEntry> helpEntries()
{
    // An optional value is shown in brackets: --undo[=ID].
    static const std::regex head(
        R"(^ +(?:-\w, )?--([A-Za-z0-9-]+)(?:\[?=([^\s\]]+)\]?)?(?: {2,}(.*))?$)");
    static const std::regex more(R"(^ {20,}\S.*$)");
    std::map<std::string, HelpEntry> entries;
    std::istringstream help(helpText());
    HelpEntry *current = nullptr;
    for (std::string line; std::getline(help, line);) {
        std::smatch match;
        if (std::regex_match(line, match, head)) {
            current = &entries[match[1].str()];
            current->valueName = match[2].str();
            current->firstLine = match[3].str();
        } else if (current && std::regex_match(line, more)) {
            current->continues = true;
            current->nextLine = line.substr(line.find_first_not_of(' '));
            current = nullptr; // a clause never runs past the second line
        } else {
            current = nullptr;
        }
    }
    return entries;
}

void trimEnd(std::string &text)
{
    while (!text.empty() && (text.back() == ',' || text.back() == ';' || text.back() == ' '))
        text.pop_back();
}

// A first line that breaks off mid-sentence is cut before a parenthesis it leaves open, or
// else back to its last whole clause: "time limit of each request, redirects included" gives
// "time limit of each request".
std::string firstClause(const HelpEntry &entry)
{
    std::string text = entry.firstLine;
    trimEnd(text);
    if (entry.continues) {
        const std::size_t open = text.rfind(" (");
        std::size_t clause = std::string::npos;
        for (const char *mark : {", ", "; "}) {
            const std::size_t at = text.rfind(mark);
            if (at != std::string::npos && (clause == std::string::npos || at > clause))
                clause = at;
        }
        if (open != std::string::npos && text.find(')', open) == std::string::npos) {
            text.erase(open);
        } else if (clause != std::string::npos) {
            text.erase(clause);
        } else {
            // The first line breaks inside the clause: its end is on the next line.
            const std::size_t end = entry.nextLine.find_first_of("(,;:.");
            std::string rest = entry.nextLine.substr(0, end);
            trimEnd(rest);
            if (!rest.empty())
                text += " " + rest;
        }
    }
    trimEnd(text);
    return text;
}

ValueKind kindOf(const std::string &valueName, bool takesValue)
{
    if (!takesValue)
        return ValueKind::None;
    if (valueName == "FILE")
        return ValueKind::File;
    if (valueName == "DIR" || valueName == "FOLDER")
        return ValueKind::Folder;
    if (valueName == "FORMAT")
        return ValueKind::Format;
    if (valueName == "BROWSER")
        return ValueKind::Browser;
    return ValueKind::Free;
}

std::string formatWords()
{
    std::string words;
    for (const std::string_view name : formatNames())
        words.append(words.empty() ? "" : " ").append(name);
    return words;
}

std::string browserWords()
{
    std::string words;
    for (const std::string_view name : bookmarks::browserNames())
        words.append(name).append(" ");
    return words + "list";
}

// Text inside a single-quoted word of a POSIX shell (bash, zsh).
std::string singleQuoted(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out;
}

std::string bashScript(const std::vector<CompletedOption> &options)
{
    std::string words;
    std::string formats;
    std::string browsers;
    std::string files;
    std::string folders;
    std::string free;
    for (const CompletedOption &o : options) {
        std::string names = "--" + o.name;
        if (o.letter)
            names = "-" + std::string(1, o.letter) + "|" + names;
        words += (words.empty() ? "" : " ") + std::string("--") + o.name +
                 (o.value == ValueKind::None ? "" : "=");
        if (o.letter)
            words += " -" + std::string(1, o.letter);
        std::string *group = o.value == ValueKind::Format    ? &formats
                             : o.value == ValueKind::Browser ? &browsers
                             : o.value == ValueKind::File    ? &files
                             : o.value == ValueKind::Folder ? &folders
                             : o.value == ValueKind::Free   ? &free
                                                            : nullptr;
        if (group)
            *group += (group->empty() ? "" : "|") + names;
    }
    std::string cases;
    const auto addCase = [&cases](const std::string &names, const std::string &action) {
        if (!names.empty())
            cases += "        " + names + ")\n            " + action +
                     "\n            return\n"
                     "            ;;\n";
    };
    addCase(formats, "COMPREPLY=($(compgen -W '" + formatWords() + "' -- \"$cur\"))");
    addCase(browsers, "COMPREPLY=($(compgen -W '" + browserWords() + "' -- \"$cur\"))");
    addCase(files, "_filedir");
    addCase(folders, "_filedir -d");
    addCase(free, ":");
    return "# bash completion for quorvel-check, made from its option table.\n"
           "_quorvel_check()\n"
           "{\n"
           "    local cur prev words cword split\n"
           "    _init_completion -s || return\n"
           "    case $prev in\n" +
           cases +
           "    esac\n"
           "    $split && return\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W '" +
           words +
           "' -- \"$cur\"))\n"
           "        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace\n"
           "        return\n"
           "    fi\n"
           "    _filedir -d\n"
           "} &&\n"
           "    complete -F _quorvel_check quorvel-check\n";
}

// The description inside _arguments' brackets.
std::string zshDescription(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '[' || c == ']' || c == '\\')
            out += '\\';
        out += c;
    }
    return singleQuoted(out);
}

std::string zshScript(const std::vector<CompletedOption> &options)
{
    std::string arguments;
    for (const CompletedOption &o : options) {
        const bool ends = o.name == "help" || o.name == "version";
        std::string action;
        switch (o.value) {
        case ValueKind::None:
            break;
        case ValueKind::Free:
            action = ":" + o.name + ": ";
            break;
        case ValueKind::File:
            action = ":file:_files";
            break;
        case ValueKind::Folder:
            action = ":folder:_files -/";
            break;
        case ValueKind::Format:
            action = ":format:(" + formatWords() + ")";
            break;
        case ValueKind::Browser:
            action = ":browser:(" + browserWords() + ")";
            break;
        }
        const std::string after = o.value == ValueKind::None ? "" : "=";
        // Inside single quotes, after the option's name.
        const std::string describe =
            "[" + zshDescription(o.description) + "]" + singleQuoted(action) + "'";
        std::string argument;
        if (o.letter) {
            const std::string letter = "-" + std::string(1, o.letter);
            argument = "'(" + std::string(ends ? "- : *" : letter + " --" + o.name) + ")'{" +
                       letter + (o.value == ValueKind::None ? "" : "+") + ",--" + o.name + after +
                       "}'" + describe;
        } else {
            argument = (ends ? "'(- : *)'" : std::string()) + "'--" + o.name + after + describe;
        }
        arguments += "    " + argument + " \\\n";
    }
    return "#compdef quorvel-check\n"
           "# zsh completion for quorvel-check, made from its option table.\n"
           "_arguments -s -S : \\\n" +
           arguments + "    '1:folder:_files -/'\n";
}

// Text inside a single-quoted fish word.
std::string fishQuoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

std::string fishScript(const std::vector<CompletedOption> &options)
{
    std::string lines = "# fish completion for quorvel-check, made from its option table.\n"
                        "complete -c quorvel-check -f -a '(__fish_complete_directories)'\n";
    for (const CompletedOption &o : options) {
        std::string line = "complete -c quorvel-check";
        if (o.letter)
            line += " -s " + std::string(1, o.letter);
        line += " -l " + o.name;
        switch (o.value) {
        case ValueKind::None:
            break;
        case ValueKind::Free:
            line += " -x";
            break;
        case ValueKind::File:
            line += " -r -F";
            break;
        case ValueKind::Folder:
            line += " -x -a '(__fish_complete_directories)'";
            break;
        case ValueKind::Format:
            line += " -x -a " + fishQuoted(formatWords());
            break;
        case ValueKind::Browser:
            line += " -x -a " + fishQuoted(browserWords());
            break;
        }
        lines += line + " -d " + fishQuoted(o.description) + "\n";
    }
    return lines;
}

} // namespace

std::vector<CompletedOption> completedOptions()
{
    const std::map<std::string, HelpEntry> help = helpEntries();
    std::vector<CompletedOption> options;
    for (const OptionEntry &listed : optionTable()) {
        const auto entry = help.find(listed.name);
        const HelpEntry described = entry == help.end() ? HelpEntry{} : entry->second;
        options.push_back(CompletedOption{listed.name, listed.letter,
                                          kindOf(described.valueName, listed.takesValue),
                                          firstClause(described)});
    }
    return options;
}

std::string completionScript(Shell shell)
{
    const std::vector<CompletedOption> options = completedOptions();
    switch (shell) {
    case Shell::Bash:
        return bashScript(options);
    case Shell::Zsh:
        return zshScript(options);
    case Shell::Fish:
        return fishScript(options);
    }
    return {};
}

} // namespace quorvel::cli
