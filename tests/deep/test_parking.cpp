// Parking and domain-sale pages found by their phrases, and the phrase file itself.

#include "deep/parking.h"

#include "deep/pagetext.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace quorvel::deep;
using quorvel::test::TempDir;

namespace
{

TEST(Parking, PhrasesAreFoundInEveryLanguageHoweverThePageSpellsThem)
{
    const struct {
        const char *html;
        const char *phrase; // the phrase found, or null
        bool inTitle;
    } cases[] = {
        {"<title>example.com - This domain is for sale!</title>", "this domain is for sale", true},
        {"<p>Diese&nbsp;Domain <b>steht</b>\n ZUM   Verkauf.</p>", "diese domain steht zum verkauf",
         false},
        {"<h1>CE NOM DE DOMAINE EST &Agrave; VENDRE</h1>", "ce nom de domaine est a vendre", false},
        {"<p>¡Este dominio est&aacute; en venta!</p>", "este dominio esta en venta", false},
        {"<p>Dit do<span>mein</span> is te koop</p>", "dit domein is te koop", false},
        {"<p>The domain old-shop.co.uk is for sale.</p>", "the domain * is for sale", false},
        {"<p>Het domein fietsen.nl is te koop</p>", "het domein * is te koop", false},
        {"<p>The domain a b c d e f is for sale.</p>", nullptr, false}, // "*" takes up to five
        {"<p>This domain is not for sale.</p>", nullptr, false},
        {"<script>document.title = 'this domain is for sale';</script><p>Welcome</p>", nullptr,
         false},
    };
    for (const auto &c : cases) {
        const auto match = ParkingPhrases::builtIn().find(htmlPageText(c.html));
        if (!c.phrase) {
            EXPECT_FALSE(match) << c.html << " matched " << match->phrase->text;
            continue;
        }
        ASSERT_TRUE(match) << c.html;
        EXPECT_EQ(match->phrase->text, c.phrase) << c.html;
        EXPECT_EQ(match->inTitle, c.inTitle) << c.html;
    }
}

TEST(Parking, AnArticleThatQuotesAPhraseIsNoParkingPage)
{
    std::string article = "<title>How domain auctions work</title><p>Owners write \"this domain "
                          "is for sale\" on a page and wait.</p>";
    for (int i = 0; i < 120; ++i)
        article += "<p>Auctions run for a week and bids rise.</p>";
    EXPECT_FALSE(ParkingPhrases::builtIn().find(htmlPageText(article)));
    // In the title, even a long page is a parking page.
    EXPECT_TRUE(
        ParkingPhrases::builtIn().find(htmlPageText("<title>Buy this domain</title>" + article)));
}

TEST(Parking, TheBuiltInListReadsCleanlyAndCoversItsLanguages)
{
    std::vector<std::string> problems;
    const auto list = ParkingPhrases::parse(builtInParkingPhraseFile(), &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    std::set<std::string> languages;
    for (const auto &phrase : list.phrases())
        languages.insert(phrase.language);
    for (const char *language : {"en", "de", "fr", "es", "nl"})
        EXPECT_TRUE(languages.count(language)) << language;
    EXPECT_EQ(list.phrases().size(), ParkingPhrases::builtIn().phrases().size());
}

TEST(Parking, ThePhraseFileFormatAndItsMistakes)
{
    std::vector<std::string> problems;
    const auto list = ParkingPhrases::parse("# comment\r\n"
                                            "\n"
                                            "en  Buy   this Domain  \r\n"
                                            "   # indented comment\n"
                                            "nothing-but-a-tag\n"
                                            "EN upper-case tag\n"
                                            "de * am Anfang\n"
                                            "fr à la fin *\n"
                                            "nl de domeinnaam * is te koop",
                                            &problems);
    ASSERT_EQ(list.phrases().size(), 2u);
    EXPECT_EQ(list.phrases()[0].language, "en");
    EXPECT_EQ(list.phrases()[0].text, "Buy   this Domain");
    EXPECT_EQ(list.phrases()[0].words, (std::vector<std::string>{"buy", "this", "domain"}));
    EXPECT_EQ(list.phrases()[1].words,
              (std::vector<std::string>{"de", "domeinnaam", "*", "is", "te", "koop"}));
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "line 5: a phrase line starts with a language tag such as \"en\"",
                            "line 6: a phrase line starts with a language tag such as \"en\"",
                            "line 7: a phrase needs a word at each end",
                            "line 8: a phrase needs a word at each end"}));
}

TEST(Parking, TheInstalledFileIsFoundBesideTheProgramOrInShare)
{
    TempDir root;
    const auto bin = root.path() / "bin";
    std::filesystem::create_directories(bin);
    std::string note;

    // None installed: the compiled-in list, without a word.
    EXPECT_EQ(ParkingPhrases::forProgram(bin, note).phrases().size(),
              ParkingPhrases::builtIn().phrases().size());
    EXPECT_EQ(note, "");

    root.write("share/quorvel/parking-phrases.txt", "en shared phrase here\n");
    auto list = ParkingPhrases::forProgram(bin, note);
    ASSERT_EQ(list.phrases().size(), 1u);
    EXPECT_EQ(list.phrases()[0].text, "shared phrase here");

    // Beside the program wins, and its bad lines are named.
    root.write("bin/parking-phrases.txt", "en beside the program\nbroken\n");
    list = ParkingPhrases::forProgram(bin, note);
    ASSERT_EQ(list.phrases().size(), 1u);
    EXPECT_EQ(list.phrases()[0].text, "beside the program");
    EXPECT_NE(note.find("line 2"), std::string::npos) << note;

    // A file without a single phrase is a mistake, not a wish to find no parked pages.
    root.write("bin/parking-phrases.txt", "# all commented out\n");
    list = ParkingPhrases::forProgram(bin, note);
    EXPECT_EQ(list.phrases().size(), ParkingPhrases::builtIn().phrases().size());
    EXPECT_NE(note.find("holds no phrase"), std::string::npos) << note;
}

} // namespace
