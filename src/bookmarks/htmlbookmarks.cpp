#include "bookmarks/htmlbookmarks.h"

#include "bookmarks/bookmarkerror.h"
#include "deep/charset.h"
#include "deep/htmlentities.h"
#include "platform/asciitext.h"

#include <cctype>
#include <charconv>
#include <map>
#include <optional>

namespace quorvel::bookmarks
{
namespace
{

constexpr std::string_view doctype = "<!doctype netscape-bookmark-file-1>";

// Far deeper than anyone files bookmarks; the tree is walked recursively later, so a bound.
constexpr std::size_t maxDepth = 1000;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Text with its character references replaced, runs of blanks made one space, ends trimmed:
// what a browser shows and imports.
std::string plainText(std::string_view raw)
{
    raw = trimmed(raw);
    std::string out;
    out.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        if (raw[at] == '&' && deep::readCharacterReference(raw, at, out))
            continue;
        if (isBlank(raw[at])) {
            if (out.empty() || out.back() != ' ')
                out += ' ';
        } else {
            out += raw[at];
        }
        ++at;
    }
    return out;
}

// An attribute's value with its character references replaced. As in browsers, a reference
// without its ';' followed by a letter, digit or '=' stays as it is: "?a=1&copy=2" in an
// unescaped URL is a query, not a copyright sign.
std::string attributeText(std::string_view raw)
{
    std::string value;
    value.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        std::size_t end = at;
        std::string decoded;
        if (raw[at] == '&' && deep::readCharacterReference(raw, end, decoded) &&
            (raw[end - 1] == ';' || end == raw.size() ||
             !(std::isalnum(static_cast<unsigned char>(raw[end])) || raw[end] == '='))) {
            value += decoded;
            at = end;
        } else {
            value += raw[at++];
        }
    }
    return value;
}

struct Tag {
    std::string name;                              // lower case, with a leading '/' for an end tag
    std::map<std::string, std::string> attributes; // names in lower case, values decoded
};

// Reads the tag whose '<' is at text[at]; leaves at past its '>'. Returns nothing when the text
// ends inside the tag.
std::optional<Tag> readTag(std::string_view text, std::size_t &at)
{
    std::size_t pos = at + 1;
    const auto nameEnd = [&] {
        while (pos < text.size() && !isBlank(text[pos]) && text[pos] != '>')
            ++pos;
        return pos;
    };
    const std::size_t nameStart = pos;
    Tag tag;
    tag.name = platform::asciiLower(text.substr(nameStart, nameEnd() - nameStart));
    while (true) {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        if (pos >= text.size())
            return std::nullopt;
        if (text[pos] == '>') {
            at = pos + 1;
            return tag;
        }
        const std::size_t keyStart = pos;
        while (pos < text.size() && !isBlank(text[pos]) && text[pos] != '=' && text[pos] != '>')
            ++pos;
        std::string key = platform::asciiLower(text.substr(keyStart, pos - keyStart));
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        std::string value;
        if (pos < text.size() && text[pos] == '=') {
            ++pos;
            while (pos < text.size() && isBlank(text[pos]))
                ++pos;
            if (pos >= text.size())
                return std::nullopt;
            std::size_t valueStart = pos;
            std::size_t valueEnd;
            if (text[pos] == '"' || text[pos] == '\'') {
                valueEnd = text.find(text[pos], pos + 1);
                if (valueEnd == std::string_view::npos)
                    return std::nullopt;
                ++valueStart;
                pos = valueEnd + 1;
            } else {
                while (pos < text.size() && !isBlank(text[pos]) && text[pos] != '>')
                    ++pos;
                valueEnd = pos;
            }
            value = attributeText(text.substr(valueStart, valueEnd - valueStart));
        }
        if (!key.empty())
            tag.attributes.emplace(std::move(key), std::move(value));
    }
}

std::optional<std::int64_t> secondsOf(const Tag &tag)
{
    const auto found = tag.attributes.find("add_date");
    if (found == tag.attributes.end())
        return std::nullopt;
    std::int64_t seconds = 0;
    const std::string &text = found->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds <= 0)
        return std::nullopt;
    return seconds;
}

// Builds the tree as the tags come. A folder's <H3> comes before its <DL>, so a titled folder
// waits as pending until its list opens (or until something else shows it has none).
class TreeBuilder
{
public:
    explicit TreeBuilder(const std::filesystem::path &file) : file_(file)
    {
        open_.push_back(BookmarkNode::folder({}));
    }

    void folderTitle(BookmarkNode folder)
    {
        settlePending();
        pending_ = std::move(folder);
    }

    void openList()
    {
        if (pending_) {
            if (open_.size() > maxDepth)
                throw BookmarkError(file_, "its folders nest deeper than " +
                                               std::to_string(maxDepth) + " levels");
            open_.push_back(std::move(*pending_));
            pending_.reset();
            pushed_.push_back(true);
        } else {
            // The outermost list, or a list with no title of its own: its items join the folder
            // they stand in.
            pushed_.push_back(false);
        }
    }

    void closeList()
    {
        settlePending();
        if (pushed_.empty())
            throw BookmarkError(file_, "a </DL> closes a folder that was never opened");
        if (pushed_.back()) {
            BookmarkNode done = std::move(open_.back());
            open_.pop_back();
            open_.back().children.push_back(std::move(done));
        }
        pushed_.pop_back();
        lastLink_ = false;
    }

    void add(BookmarkNode node)
    {
        settlePending();
        lastLink_ = node.kind == BookmarkNode::Kind::Link;
        open_.back().children.push_back(std::move(node));
    }

    void describe(std::string text)
    {
        if (pending_)
            pending_->description = std::move(text);
        else if (lastLink_)
            open_.back().children.back().description = std::move(text);
    }

    BookmarkNode finish()
    {
        settlePending();
        if (!pushed_.empty())
            throw BookmarkError(file_, "the file ends before all its folders are closed "
                                       "(a </DL> is missing; is it truncated?)");
        return std::move(open_.front());
    }

private:
    // A title with no list after it is an empty folder.
    void settlePending()
    {
        if (pending_) {
            open_.back().children.push_back(std::move(*pending_));
            pending_.reset();
        }
        lastLink_ = false;
    }

    const std::filesystem::path &file_;
    std::vector<BookmarkNode> open_; // the root, then each folder whose list is open
    std::vector<bool> pushed_;       // per open <DL>: whether it opened a folder of open_
    std::optional<BookmarkNode> pending_;
    bool lastLink_ = false;
};

// The raw text from at up to the end tag named close ("</a"), leaving at past that tag. Markup
// inside (rare, but exporters have put <b> in titles) is dropped.
std::string textUntil(std::string_view text, std::size_t &at, std::string_view close,
                      const std::string &lowered, const std::filesystem::path &file)
{
    const std::size_t end = lowered.find(close, at);
    if (end == std::string::npos)
        throw BookmarkError(file, "the file ends inside a title (a " + std::string(close) +
                                      "> is missing; is it truncated?)");
    std::string raw;
    for (std::size_t i = at; i < end; ++i) {
        if (text[i] == '<') {
            const auto tagEnd = text.find('>', i);
            i = tagEnd == std::string_view::npos || tagEnd > end ? end : tagEnd;
            continue;
        }
        raw += text[i];
    }
    const auto tagEnd = text.find('>', end);
    at = tagEnd == std::string_view::npos ? text.size() : tagEnd + 1;
    return plainText(raw);
}

} // namespace

bool looksLikeBookmarksHtml(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const std::string_view text = trimmed(bytes.substr(0, 256));
    std::string head = platform::asciiLower(text.substr(0, doctype.size() + 8));
    // Blanks inside the declaration vary between exporters.
    std::erase_if(head, [](char c) { return c == ' ' || c == '\t'; });
    std::string wanted(doctype);
    std::erase(wanted, ' ');
    return head.starts_with(wanted);
}

BookmarkTree readBookmarksHtml(std::string_view bytes, const std::filesystem::path &file)
{
    if (!looksLikeBookmarksHtml(bytes))
        throw BookmarkError(file, "not a bookmarks HTML file (no NETSCAPE-Bookmark-file-1 "
                                  "DOCTYPE)");
    const std::string text = deep::decodeBody(bytes, "text/html").text;
    // One lower-cased copy for finding end tags in any letter case.
    const std::string lowered = platform::asciiLower(text);
    TreeBuilder builder(file);
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at)) {
        if (text.compare(at, 4, "<!--") == 0) {
            const auto end = text.find("-->", at + 4);
            at = end == std::string::npos ? text.size() : end + 3;
            continue;
        }
        const std::size_t tagStart = at;
        std::optional<Tag> tag = readTag(text, at);
        if (!tag)
            throw BookmarkError(file, "the file ends inside a tag at byte " +
                                          std::to_string(tagStart) + " (is it truncated?)");
        const std::string &name = tag->name;
        if (name == "dl") {
            builder.openList();
        } else if (name == "/dl") {
            builder.closeList();
        } else if (name == "h3") {
            BookmarkNode folder = BookmarkNode::folder(textUntil(text, at, "</h3", lowered, file));
            folder.added = secondsOf(*tag);
            builder.folderTitle(std::move(folder));
        } else if (name == "a") {
            std::string title = textUntil(text, at, "</a", lowered, file);
            const auto href = tag->attributes.find("href");
            if (href == tag->attributes.end())
                continue; // an anchor that links nowhere is no bookmark
            builder.add(BookmarkNode::link(std::move(title), std::string(trimmed(href->second)),
                                           secondsOf(*tag)));
        } else if (name == "hr") {
            builder.add(BookmarkNode::separator());
        } else if (name == "dd") {
            const std::size_t end = text.find('<', at);
            builder.describe(plainText(std::string_view(text).substr(
                at, end == std::string::npos ? std::string::npos : end - at)));
        }
    }
    BookmarkTree tree;
    tree.kind = StoreKind::Html;
    tree.root = builder.finish();
    return tree;
}

} // namespace quorvel::bookmarks
