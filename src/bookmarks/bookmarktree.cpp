#include "bookmarktree.h"

namespace quorvel::bookmarks
{
namespace
{

void flattenInto(const BookmarkNode &folder, const std::string &path,
                 std::vector<BookmarkEntry> &entries)
{
    for (const BookmarkNode &child : folder.children) {
        if (child.kind == BookmarkNode::Kind::Link)
            entries.push_back({child.title, path, child.url, child.added});
        else if (child.kind == BookmarkNode::Kind::Folder)
            flattenInto(child, path.empty() ? child.title : path + '/' + child.title, entries);
    }
}

} // namespace

std::vector<BookmarkEntry> flatten(const BookmarkTree &tree)
{
    std::vector<BookmarkEntry> entries;
    entries.reserve(countLinks(tree.root));
    flattenInto(tree.root, {}, entries);
    return entries;
}

std::size_t countLinks(const BookmarkNode &node)
{
    if (node.kind == BookmarkNode::Kind::Link)
        return 1;
    std::size_t count = 0;
    for (const BookmarkNode &child : node.children)
        count += countLinks(child);
    return count;
}

} // namespace quorvel::bookmarks
