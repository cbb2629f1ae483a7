// Cutting text into folded words: what makes phrase matching and page comparison immune to
// letter case, accents and odd spacing.

#include "deep/textfold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quorvel::deep::foldedWords;
using Words = std::vector<std::string>;

namespace
{

TEST(Words, CaseAccentsAndSpacingDoNotMatter)
{
    const struct {
        const char *text;
        Words words;
    } cases[] = {
        {"Diese DOMÄNE  steht\tzum\nVerkauf!", {"diese", "domane", "steht", "zum", "verkauf"}},
        {"CE NOM DE DOMAINE EST À VENDRE", {"ce", "nom", "de", "domaine", "est", "a", "vendre"}},
        {"Straße, Œuvre, Ærø, Łódź", {"strasse", "oeuvre", "aero", "lodz"}},
        {"e\xCC\x81t\xC3\xA9", {"ete"}}, // a combining accent is no letter of its own
        {"Ver\xC2\xAD"
         "kauf do\xE2\x80\x8Bmain",
         {"verkauf", "domain"}}, // soft hyphen, ZWSP
        {"no\xC2\xA0"
         "break\xE2\x80\x94"
         "dash\xE2\x80\xA6",
         {"no", "break", "dash"}},
        {"example.com/path?q=1", {"example", "com", "path", "q", "1"}},
        {"ΔΟΜΕΝΑΣ Домен", {"δομενασ", "домен"}},
        {"出售域名 ok", {"出", "售", "域", "名", "ok"}},
        {"bad \xFF\xFE bytes", {"bad", "bytes"}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(foldedWords(c.text), c.words) << c.text;
}

} // namespace
