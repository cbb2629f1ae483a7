#include "bookmarks/cleanedcopy.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/htmlbookmarks.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace quorvel::bookmarks
{
namespace
{

constexpr const char *deadFolderName = "Dead links";

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Splits the tree in two as it copies: live links stay where they are, dead ones go to the
// same chain of folders under "Dead links".
class Splitter
{
public:
    explicit Splitter(const std::vector<bool> &dead) : dead_(dead) {}

    BookmarkNode split(const BookmarkNode &folder, std::vector<const BookmarkNode *> &chain)
    {
        BookmarkNode kept = folder;
        kept.children.clear();
        for (const BookmarkNode &child : folder.children) {
            if (child.kind == BookmarkNode::Kind::Folder) {
                chain.push_back(&child);
                kept.children.push_back(split(child, chain));
                chain.pop_back();
            } else if (child.kind == BookmarkNode::Kind::Link && isDead(index_++)) {
                deadFolderFor(chain).children.push_back(child);
            } else {
                kept.children.push_back(child);
            }
        }
        return kept;
    }

    BookmarkNode takeDeadFolder() { return std::move(deadRoot_); }
    bool anyDead() const { return !deadRoot_.children.empty(); }

private:
    bool isDead(std::size_t index) const { return index < dead_.size() && dead_[index]; }

    // The folder under "Dead links" that matches chain, made as needed. Matched by the source
    // folder, not its title, so two folders of one name stay apart as they were.
    BookmarkNode &deadFolderFor(const std::vector<const BookmarkNode *> &chain)
    {
        BookmarkNode *at = &deadRoot_;
        Made *made = &made_;
        for (const BookmarkNode *source : chain) {
            std::size_t slot = 0;
            while (slot < made->sources.size() && made->sources[slot] != source)
                ++slot;
            if (slot == made->sources.size()) {
                BookmarkNode folder = BookmarkNode::folder(source->title);
                folder.added = source->added;
                at->children.push_back(std::move(folder));
                made->sources.push_back(source);
                made->at.push_back(at->children.size() - 1);
                made->below.push_back(std::make_unique<Made>());
            }
            at = &at->children[made->at[slot]];
            made = made->below[slot].get();
        }
        return *at;
    }

    // Which source folders already have their copy below one folder of "Dead links".
    struct Made {
        std::vector<const BookmarkNode *> sources;
        std::vector<std::size_t> at;
        std::vector<std::unique_ptr<Made>> below;
    };

    const std::vector<bool> &dead_;
    std::size_t index_ = 0;
    BookmarkNode deadRoot_ = BookmarkNode::folder(deadFolderName);
    Made made_;
};

void writeNode(std::string &out, const BookmarkNode &node, int depth)
{
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    const auto addDate = [&] {
        if (node.added)
            out += " ADD_DATE=\"" + std::to_string(*node.added) + '"';
    };
    switch (node.kind) {
    case BookmarkNode::Kind::Separator:
        out += indent + "<HR>\n";
        return;
    case BookmarkNode::Kind::Link:
        out += indent + "<DT><A HREF=\"" + escaped(node.url) + '"';
        addDate();
        out += '>' + escaped(node.title) + "</A>\n";
        break;
    case BookmarkNode::Kind::Folder:
        out += indent + "<DT><H3";
        addDate();
        out += '>' + escaped(node.title) + "</H3>\n";
        break;
    }
    if (!node.description.empty())
        out += indent + "<DD>" + escaped(node.description) + '\n';
    if (node.kind == BookmarkNode::Kind::Folder) {
        out += indent + "<DL><p>\n";
        for (const BookmarkNode &child : node.children)
            writeNode(out, child, depth + 1);
        out += indent + "</DL><p>\n";
    }
}

} // namespace

std::string cleanedBookmarksHtml(const BookmarkTree &tree, const std::vector<bool> &dead)
{
    Splitter splitter(dead);
    std::vector<const BookmarkNode *> chain;
    const BookmarkNode kept = splitter.split(tree.root, chain);

    std::string out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<!-- This is an automatically generated file.\n"
                      "     It will be read and overwritten.\n"
                      "     DO NOT EDIT! -->\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n"
                      "<H1>Bookmarks</H1>\n"
                      "<DL><p>\n";
    for (const BookmarkNode &child : kept.children)
        writeNode(out, child, 1);
    if (splitter.anyDead())
        writeNode(out, splitter.takeDeadFolder(), 1);
    out += "</DL><p>\n";
    return out;
}

void writeCleanedBookmarks(const std::filesystem::path &file, const BookmarkTree &tree,
                           const std::vector<bool> &dead)
{
    // The destination may be a slip of the user's: whatever is there and is not a bookmarks HTML
    // file (a browser's own store above all) is left alone.
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        std::ifstream in(file, std::ios::binary);
        std::string head(512, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        if (!std::filesystem::is_regular_file(file, error) || !looksLikeBookmarksHtml(head))
            throw BookmarkError(file, "exists and is not a bookmarks HTML file; it is not "
                                      "overwritten");
    }
    const std::string text = cleanedBookmarksHtml(tree, dead);
    const std::filesystem::path partial = file.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) ||
            !out.flush()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw BookmarkError(file, "cannot be written");
        }
    }
    std::filesystem::rename(partial, file, error);
    if (error) {
        std::filesystem::remove(partial, error);
        throw BookmarkError(file, "cannot be written: " + error.message());
    }
}

} // namespace quorvel::bookmarks
