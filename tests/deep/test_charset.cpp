// Decoding a body in the character set its answer or page declares, or the one it must be in.

#include "deep/charset.h"

#include <gtest/gtest.h>

#include <string>

using quorvel::deep::BodyKind;
using quorvel::deep::decodeBody;

namespace
{

TEST(Charset, DeclarationsAreFollowedInTheRightOrder)
{
    const struct {
        const char *what;
        const char *contentType;
        std::string body;
        std::string text;
    } cases[] = {
        {"header charset", "text/html; charset=ISO-8859-1", "caf\xE9", "café"},
        {"quoted header charset", "text/html; Charset=\"utf-8\"", "caf\xC3\xA9", "café"},
        {"Latin-1 is read as windows-1252, as browsers do", "text/plain; charset=latin1",
         "\x80 \x93q\x94", "€ “q”"},
        {"meta charset", "text/html", "<meta charset=\"windows-1252\"><p>\x80</p>",
         "<meta charset=\"windows-1252\"><p>€</p>"},
        {"meta http-equiv", "",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=iso-8859-1\">\xFC",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">ü"},
        {"the header wins over the page", "text/html; charset=utf-8",
         "<meta charset=\"iso-8859-1\">\xC3\xA9", "<meta charset=\"iso-8859-1\">é"},
        {"a byte-order mark wins over the header", "text/html; charset=iso-8859-1",
         "\xEF\xBB\xBF\xC3\xA9", "é"},
        {"UTF-16 by its byte-order mark", "text/plain", std::string("\xFF\xFEh\0i\0", 6), "hi"},
        {"a page cannot declare UTF-16 in itself", "text/html", "<meta charset=utf-16>\xC3\xA9",
         "<meta charset=utf-16>é"},
        {"other charsets through iconv", "text/plain; charset=iso-8859-15", "\xA4", "€"},
        {"KOI8-R through iconv", "text/plain; charset=koi8-r", "\xD4\xC5\xD3\xD4", "тест"},
        {"undeclared valid UTF-8", "text/plain", "na\xC3\xAFve", "naïve"},
        {"undeclared other bytes fall back to windows-1252", "text/plain", "na\xEFve", "naïve"},
        {"an unknown label falls back to guessing", "text/plain; charset=x-no-such", "na\xEFve",
         "naïve"},
        {"invalid UTF-8 in a UTF-8 page reads U+FFFD", "text/plain; charset=utf-8",
         "a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"iconv errors read U+FFFD and decoding goes on", "text/plain; charset=shift_jis",
         "a\x81"
         "\x20"
         "b",
         "a\xEF\xBF\xBD b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decodeBody(c.body, c.contentType).text, c.text) << c.what;
}

TEST(Charset, ABodyCutInTheMiddleOfACharacterIsStillUtf8)
{
    // The 256 KiB cut can fall inside a character: that is no reason to read the page as Latin-1.
    const std::string body = "gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82";
    const auto decoded = decodeBody(body, "text/plain");
    EXPECT_EQ(decoded.charset, "UTF-8");
    EXPECT_EQ(decoded.text.substr(0, 7), "grüße");
}

TEST(Charset, OnlyPagesAndPlainTextHaveText)
{
    const struct {
        const char *contentType;
        std::string body;
        BodyKind kind;
    } cases[] = {
        {"text/html", "x", BodyKind::Html},
        {"application/xhtml+xml; charset=utf-8", "x", BodyKind::Html},
        {"TEXT/PLAIN", "x", BodyKind::Plain},
        {"image/png", "\x89PNG", BodyKind::Other},
        {"application/pdf", "%PDF-1.4", BodyKind::Other},
        {"", "  <!doctype html>", BodyKind::Html},
        {"", "just words", BodyKind::Plain},
        {"", std::string("GIF89a\0\0", 8), BodyKind::Other},
    };
    for (const auto &c : cases) {
        const auto decoded = decodeBody(c.body, c.contentType);
        EXPECT_EQ(decoded.kind, c.kind) << c.contentType << " " << c.body;
        if (c.kind == BodyKind::Other) {
            EXPECT_TRUE(decoded.text.empty());
        }
    }
}

} // namespace
