#include "deep/parking.h"

#include "deep/textfold.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvel::deep
{

namespace
{

constexpr std::size_t maxWildcardWords = 5;

bool isLanguageTag(std::string_view tag)
{
    if (tag.size() < 2 || tag.size() > 8)
        return false;
    for (const char c : tag) {
        if (!((c >= 'a' && c <= 'z') || c == '-'))
            return false;
    }
    return true;
}

// Whether phrase[p..] matches words starting at w; "*" takes one to five words.
bool matchesAt(const std::vector<std::string> &phrase, std::size_t p,
               const std::vector<std::string> &words, std::size_t w)
{
    for (; p < phrase.size(); ++p, ++w) {
        if (phrase[p] == "*") {
            for (std::size_t take = 1; take <= maxWildcardWords && w + take <= words.size();
                 ++take) {
                if (matchesAt(phrase, p + 1, words, w + take))
                    return true;
            }
            return false;
        }
        if (w >= words.size() || words[w] != phrase[p])
            return false;
    }
    return true;
}

const ParkingPhrase *firstIn(const std::vector<ParkingPhrase> &phrases,
                             const std::vector<std::string> &words)
{
    for (std::size_t w = 0; w < words.size(); ++w) {
        for (const ParkingPhrase &phrase : phrases) {
            if (phrase.words.front() == words[w] && matchesAt(phrase.words, 0, words, w))
                return &phrase;
        }
    }
    return nullptr;
}

std::optional<std::string> readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return content.str();
}

} // namespace

ParkingPhrases ParkingPhrases::parse(std::string_view fileText, std::vector<std::string> *problems)
{
    ParkingPhrases list;
    std::size_t lineNumber = 0;
    while (!fileText.empty()) {
        const auto end = fileText.find('\n');
        std::string_view line = fileText.substr(0, end);
        fileText = end == std::string_view::npos ? std::string_view{} : fileText.substr(end + 1);
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;

        const auto gap = line.find_first_of(" \t");
        const std::string_view tag = line.substr(0, gap);
        const auto complain = [&](const std::string &why) {
            if (problems)
                problems->push_back("line " + std::to_string(lineNumber) + ": " + why);
        };
        if (gap == std::string_view::npos || !isLanguageTag(tag)) {
            complain("a phrase line starts with a language tag such as \"en\"");
            continue;
        }
        ParkingPhrase phrase;
        phrase.language = tag;
        phrase.text = line.substr(line.find_first_not_of(" \t", gap));
        // "*" survives folding as a word of its own only if it is kept out of it.
        std::string_view rest = phrase.text;
        while (!rest.empty()) {
            const auto star = rest.find('*');
            const auto part = foldedWords(rest.substr(0, star));
            phrase.words.insert(phrase.words.end(), part.begin(), part.end());
            if (star == std::string_view::npos)
                break;
            phrase.words.emplace_back("*");
            rest.remove_prefix(star + 1);
        }
        if (phrase.words.empty() || phrase.words.front() == "*" || phrase.words.back() == "*") {
            complain("a phrase needs a word at each end");
            continue;
        }
        list.phrases_.push_back(std::move(phrase));
    }
    return list;
}

const ParkingPhrases &ParkingPhrases::builtIn()
{
    static const ParkingPhrases list = parse(builtInParkingPhraseFile(), nullptr);
    return list;
}

ParkingPhrases ParkingPhrases::forProgram(const std::filesystem::path &programFolder,
                                          std::string &note)
{
    note.clear();
    const std::filesystem::path candidates[] = {programFolder / "parking-phrases.txt",
                                                programFolder / ".." / "share" / "quorvel" /
                                                    "parking-phrases.txt"};
    for (const auto &path : candidates) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            continue;
        const auto content = readFile(path);
        if (!content) {
            note = "cannot read " + path.string() + "; using the built-in parking phrases";
            return builtIn();
        }
        std::vector<std::string> problems;
        ParkingPhrases list = parse(*content, &problems);
        if (list.phrases_.empty()) {
            note = path.string() + " holds no phrase; using the built-in parking phrases";
            return builtIn();
        }
        for (const auto &problem : problems)
            note += (note.empty() ? "" : "\n") + path.string() + ": " + problem + " (line skipped)";
        return list;
    }
    return builtIn();
}

std::optional<ParkingMatch> ParkingPhrases::find(const PageText &page) const
{
    if (phrases_.empty())
        return std::nullopt;
    if (const auto *phrase = firstIn(phrases_, foldedWords(page.title)))
        return ParkingMatch{phrase, true};
    const auto words = foldedWords(page.text);
    if (words.size() > maxParkedWords)
        return std::nullopt;
    if (const auto *phrase = firstIn(phrases_, words))
        return ParkingMatch{phrase, false};
    return std::nullopt;
}

} // namespace quorvel::deep
