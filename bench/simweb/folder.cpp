#include "folder.h"

#include <fstream>

namespace fs = std::filesystem;

namespace quorvel::simweb
{

void writeFolder(const Plan &plan, const fs::path &root)
{
    for (const Link &link : plan.links) {
        const fs::path folder = link.folder.empty() ? root : root / link.folder;
        fs::create_directories(folder);
        // As Internet Explorer wrote them.
        std::ofstream(folder / (link.name + ".url"), std::ios::binary)
            << "[DEFAULT]\r\nBASEURL=" << link.url << "\r\n[InternetShortcut]\r\nURL=" << link.url
            << "\r\nIDList=\r\nHotKey=0\r\nIconIndex=0\r\n";
    }
}

int countShortcuts(const fs::path &root)
{
    int count = 0;
    if (!fs::exists(root))
        return 0;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        count += entry.is_regular_file() && entry.path().extension() == ".url";
    return count;
}

} // namespace quorvel::simweb
