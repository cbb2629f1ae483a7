#pragma once
// Phrases that domain-parking and domain-sale pages use, and finding them in a page. The list
// is a text file kept with the program (parking-phrases.txt), one phrase per line after its
// language tag; the same file is compiled into the program, which uses it when no file is
// installed beside it.

#include "deep/pagetext.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::deep
{

struct ParkingPhrase {
    std::string language;           // "en", "de", ...
    std::string text;               // as written in the file
    std::vector<std::string> words; // folded; "*" stands for one to five words
};

struct ParkingMatch {
    const ParkingPhrase *phrase = nullptr;
    bool inTitle = false;
};

class ParkingPhrases
{
public:
    // Reads the phrase file format: "<language> <phrase>" per line; blank lines and lines
    // starting with '#' are skipped. A line that is not a phrase adds "line N: ..." to problems
    // (when given) and is left out.
    static ParkingPhrases parse(std::string_view fileText, std::vector<std::string> *problems);

    // The list compiled into the program.
    static const ParkingPhrases &builtIn();

    // The list installed with the program: parking-phrases.txt in programFolder, else in
    // programFolder/../share/quorvel/. The compiled-in list when neither exists or the file
    // holds no phrase. note is empty when all went well; otherwise it says what was wrong with
    // the file, one problem a line: a file that cannot be read or holds no phrase, or lines
    // that were left out.
    static ParkingPhrases forProgram(const std::filesystem::path &programFolder, std::string &note);

    const std::vector<ParkingPhrase> &phrases() const { return phrases_; }

    // The first phrase found in the page's title, else in its text. Text matches only count on
    // pages of at most maxParkedWords words: parking pages say little, and an article that
    // mentions a domain for sale is no parking page.
    std::optional<ParkingMatch> find(const PageText &page) const;

private:
    std::vector<ParkingPhrase> phrases_;
};

constexpr std::size_t maxParkedWords = 600;

// The text of parking-phrases.txt as compiled in.
std::string_view builtInParkingPhraseFile();

} // namespace quorvel::deep
