#include "deep/pagetext.h"

#include "deep/htmlentities.h"

#include "platform/asciitext.h"

#include <algorithm>
#include <array>

namespace quorvel::deep
{

namespace
{

// Elements whose content is never shown as text: it is skipped up to the matching end tag.
constexpr std::array<std::string_view, 9> hiddenElements{
    "script", "style", "noscript", "template", "iframe", "noembed", "noframes", "object", "svg"};

// Elements that are site furniture rather than the page's own content.
constexpr std::array<std::string_view, 6> furnitureElements{"nav",   "header", "footer",
                                                            "aside", "select", "menu"};

// Elements that do not break a word: "W<b>or</b>d" reads "Word".
constexpr std::array<std::string_view, 27> inlineElements{
    "a",    "abbr",  "b",    "bdi",    "bdo",    "big",  "cite", "code", "data",
    "dfn",  "em",    "font", "i",      "kbd",    "mark", "nobr", "q",    "s",
    "samp", "small", "span", "strike", "strong", "sub",  "sup",  "u",    "wbr"};

// A furniture element inside another counts once the outer one closes; deeper nesting than this
// is hostile input and no longer counted.
constexpr int maxFurnitureDepth = 64;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <std::size_t N>
bool isOneOf(const std::array<std::string_view, N> &names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Collects text with runs of whitespace (no-break spaces too) as one space, none at the ends.
class TextSink
{
public:
    void append(std::string_view text)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (isSpace(text[i])) {
                space_ = true;
            } else if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
                space_ = true;
                ++i;
            } else {
                if (space_ && !text_.empty())
                    text_ += ' ';
                space_ = false;
                text_ += text[i];
            }
        }
    }
    void breakWord() { space_ = true; }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
    bool space_ = false;
};

// Text of a run of characters with its character references decoded.
std::string decodedText(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        if (raw[at] == '&' && readCharacterReference(raw, at, out))
            continue;
        out += raw[at++];
    }
    return out;
}

// Where the end tag "</name" (any letter case, then a space, '/' or '>') starts at or after from,
// or npos.
std::size_t findEndTag(std::string_view html, std::string_view name, std::size_t from)
{
    for (std::size_t at = html.find("</", from); at != std::string_view::npos;
         at = html.find("</", at + 2)) {
        const std::size_t nameEnd = at + 2 + name.size();
        if (nameEnd > html.size())
            return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = platform::asciiLower(html[at + 2 + i]) == name[i];
        if (same && (nameEnd == html.size() || isSpace(html[nameEnd]) || html[nameEnd] == '/' ||
                     html[nameEnd] == '>'))
            return at;
    }
    return std::string_view::npos;
}

// Whether the character at at follows an '=' (spaces between allowed): an attribute value.
bool afterEquals(std::string_view html, std::size_t at)
{
    while (at > 0 && isSpace(html[at - 1]))
        --at;
    return at > 0 && html[at - 1] == '=';
}

// Past the '>' that ends the tag whose attributes start at at; quoted values may hold '>'.
// Returns html.size() for a tag the input never closes. selfClosing tells of a final "/>".
std::size_t skipAttributes(std::string_view html, std::size_t at, bool &selfClosing)
{
    selfClosing = false;
    while (at < html.size()) {
        const char c = html[at];
        if (c == '>') {
            selfClosing = at > 0 && html[at - 1] == '/';
            return at + 1;
        }
        if ((c == '"' || c == '\'') && afterEquals(html, at)) {
            const auto close = html.find(c, at + 1);
            if (close == std::string_view::npos)
                return html.size();
            at = close + 1;
            continue;
        }
        ++at;
    }
    return html.size();
}

} // namespace

PageText htmlPageText(std::string_view html)
{
    PageText page;
    TextSink all;
    TextSink main;
    bool haveTitle = false;
    int furnitureDepth = 0;
    std::size_t at = 0;

    const auto addText = [&](std::string_view raw) {
        const std::string text = decodedText(raw);
        all.append(text);
        if (furnitureDepth == 0)
            main.append(text);
    };
    const auto breakWord = [&] {
        all.breakWord();
        main.breakWord();
    };

    while (at < html.size()) {
        const auto open = html.find('<', at);
        if (open == std::string_view::npos) {
            addText(html.substr(at));
            break;
        }
        addText(html.substr(at, open - at));
        at = open;
        const char next = open + 1 < html.size() ? html[open + 1] : '\0';

        if (next == '!' || next == '?') {
            // Comments run to "-->"; doctype, CDATA and processing instructions to '>'. An
            // unterminated one hides the rest of the page, as it does in a browser.
            const bool comment = html.substr(open, 4) == "<!--";
            const auto end = comment ? html.find("-->", open + 4) : html.find('>', open + 2);
            at = end == std::string_view::npos ? html.size() : end + (comment ? 3 : 1);
            continue;
        }
        const bool endTag = next == '/';
        const std::size_t nameStart = open + (endTag ? 2 : 1);
        if (nameStart >= html.size() || !isLetter(html[nameStart])) {
            addText("<");
            at = open + 1;
            continue;
        }
        std::size_t nameEnd = nameStart;
        std::string name;
        while (nameEnd < html.size() && !isSpace(html[nameEnd]) && html[nameEnd] != '/' &&
               html[nameEnd] != '>') {
            if (name.size() < 16) // longer names are none we know
                name += platform::asciiLower(html[nameEnd]);
            ++nameEnd;
        }
        bool selfClosing = false;
        at = skipAttributes(html, nameEnd, selfClosing);

        if (!isOneOf(inlineElements, name))
            breakWord();
        if (endTag) {
            if (isOneOf(furnitureElements, name) && furnitureDepth > 0)
                --furnitureDepth;
            continue;
        }
        if (isOneOf(furnitureElements, name)) {
            if (!selfClosing && furnitureDepth < maxFurnitureDepth)
                ++furnitureDepth;
        } else if (name == "title" || name == "textarea" || isOneOf(hiddenElements, name)) {
            if (selfClosing && name != "title")
                continue;
            const auto close = findEndTag(html, name, at);
            const std::string_view content =
                html.substr(at, close == std::string_view::npos ? close : close - at);
            if (name == "title") {
                if (!haveTitle) {
                    TextSink title;
                    title.append(decodedText(content));
                    page.title = title.take();
                    haveTitle = true;
                }
            } else if (name == "textarea") {
                addText(content);
            }
            if (close == std::string_view::npos) {
                at = html.size();
            } else {
                bool ignored = false;
                at = skipAttributes(html, close + 2, ignored);
            }
            breakWord();
        }
    }
    page.text = all.take();
    page.mainText = main.take();
    return page;
}

PageText plainPageText(std::string_view text)
{
    PageText page;
    TextSink sink;
    sink.append(text);
    page.text = sink.take();
    page.mainText = page.text;
    return page;
}

} // namespace quorvel::deep
