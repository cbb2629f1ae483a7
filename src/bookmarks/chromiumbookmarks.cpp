#include "bookmarks/chromiumbookmarks.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/jsonreader.h"

#include <array>
#include <charconv>
#include <optional>

namespace quorvel::bookmarks
{
namespace
{

// Seconds from 1601-01-01 (Windows' epoch, which Chromium keeps everywhere) to 1970-01-01.
constexpr std::int64_t secondsFrom1601To1970 = 11644473600;

struct Root {
    std::string_view key;
    std::string_view fallbackName; // for a file that leaves the root unnamed
};
constexpr std::array<Root, 3> roots{{{"bookmark_bar", "Bookmarks bar"},
                                     {"other", "Other bookmarks"},
                                     {"synced", "Mobile bookmarks"}}};

std::optional<std::int64_t> secondsOf(const std::string &microseconds)
{
    std::int64_t value = 0;
    const auto [end, error] =
        std::from_chars(microseconds.data(), microseconds.data() + microseconds.size(), value);
    if (error != std::errc() || end != microseconds.data() + microseconds.size() || value <= 0)
        return std::nullopt;
    return value / 1000000 - secondsFrom1601To1970;
}

// A string member's value, or nothing when it is another type (skipped).
std::string stringOr(JsonReader &json)
{
    if (json.peek() == JsonReader::Type::String)
        return json.readString();
    json.skipValue();
    return {};
}

// One node; its members come in any order, so its kind is settled at the end. A node of a type
// neither "url" nor "folder" gives nothing.
std::optional<BookmarkNode> readNode(JsonReader &json)
{
    if (json.peek() != JsonReader::Type::Object) {
        json.skipValue();
        return std::nullopt;
    }
    std::string type, name, url, added;
    std::vector<BookmarkNode> children;
    std::string key;
    json.beginObject();
    while (json.nextKey(key)) {
        if (key == "type") {
            type = stringOr(json);
        } else if (key == "name") {
            name = stringOr(json);
        } else if (key == "url") {
            url = stringOr(json);
        } else if (key == "date_added") {
            added = stringOr(json);
        } else if (key == "children" && json.peek() == JsonReader::Type::Array) {
            json.beginArray();
            while (json.hasNext())
                if (auto child = readNode(json))
                    children.push_back(std::move(*child));
        } else {
            json.skipValue();
        }
    }
    BookmarkNode node;
    if (type == "url") {
        node = BookmarkNode::link(std::move(name), std::move(url));
    } else if (type == "folder") {
        node = BookmarkNode::folder(std::move(name));
        node.children = std::move(children);
    } else {
        return std::nullopt;
    }
    node.added = secondsOf(added);
    return node;
}

} // namespace

bool looksLikeJsonObject(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const auto first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '{';
}

BookmarkTree readChromiumBookmarks(std::string_view bytes, const std::filesystem::path &file)
{
    std::array<std::optional<BookmarkNode>, roots.size()> found;
    bool sawRoots = false;
    try {
        JsonReader json(bytes);
        if (json.peek() != JsonReader::Type::Object)
            throw BookmarkError(file, "not a Chromium Bookmarks file (no JSON object)");
        std::string key;
        json.beginObject();
        while (json.nextKey(key)) {
            if (key != "roots" || json.peek() != JsonReader::Type::Object) {
                json.skipValue();
                continue;
            }
            sawRoots = true;
            json.beginObject();
            while (json.nextKey(key)) {
                std::size_t slot = 0;
                while (slot < roots.size() && roots[slot].key != key)
                    ++slot;
                if (slot == roots.size())
                    json.skipValue();
                else
                    found[slot] = readNode(json);
            }
        }
        json.expectEnd();
    } catch (const JsonReader::Error &error) {
        throw BookmarkError(file, error.message);
    }
    if (!sawRoots)
        throw BookmarkError(file, "not a Chromium Bookmarks file (no \"roots\" object)");

    BookmarkTree tree;
    tree.kind = StoreKind::Chromium;
    // Roots in the order the browser shows them, whatever order the file has them in.
    for (std::size_t slot = 0; slot < roots.size(); ++slot) {
        if (!found[slot] || found[slot]->kind != BookmarkNode::Kind::Folder)
            continue;
        if (found[slot]->title.empty())
            found[slot]->title = roots[slot].fallbackName;
        tree.root.children.push_back(std::move(*found[slot]));
    }
    return tree;
}

} // namespace quorvel::bookmarks
