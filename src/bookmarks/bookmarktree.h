#pragma once
// The one model every bookmark store is read into: a tree of folders, links and separators in
// the order the browser shows them, and its flattening into the entries a check goes through.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::bookmarks
{

struct BookmarkNode {
    enum class Kind { Folder, Link, Separator };
    Kind kind = Kind::Link;
    std::string title;                  // UTF-8; may be empty
    std::string url;                    // links only
    std::string description;            // an exported file's <DD> text, where there is one
    std::optional<std::int64_t> added;  // seconds since 1970, where the store knows it
    std::vector<BookmarkNode> children; // folders only

    static BookmarkNode folder(std::string title)
    {
        BookmarkNode node;
        node.kind = Kind::Folder;
        node.title = std::move(title);
        return node;
    }
    static BookmarkNode separator()
    {
        BookmarkNode node;
        node.kind = Kind::Separator;
        return node;
    }
    static BookmarkNode link(std::string title, std::string url,
                             std::optional<std::int64_t> added = std::nullopt)
    {
        BookmarkNode node;
        node.title = std::move(title);
        node.url = std::move(url);
        node.added = added;
        return node;
    }
};

enum class StoreKind { Html, Chromium, Firefox };

struct BookmarkTree {
    StoreKind kind = StoreKind::Html;
    BookmarkNode root = BookmarkNode::folder({}); // its title is not part of any path
};

// One link with the folders above it, joined by '/' ("Bookmarks Toolbar/News/Old paper").
struct BookmarkEntry {
    std::string title;
    std::string folderPath;
    std::string url;
    std::optional<std::int64_t> added;

    bool operator==(const BookmarkEntry &) const = default;
};

// Every link of the tree in order; separators and empty folders give no entry.
std::vector<BookmarkEntry> flatten(const BookmarkTree &tree);

// The number of links in a tree below and including node.
std::size_t countLinks(const BookmarkNode &node);

} // namespace quorvel::bookmarks
