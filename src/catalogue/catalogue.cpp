#include "catalogue/catalogue.h"

namespace quorvel
{

void Catalogue::clear()
{
    URL_Names.clear();
    URL_List.clear();
    Files.clear();
}

std::string displayNameOf(const std::string &fileName)
{
    constexpr std::size_t extensionLength = 4;
    if (fileName.size() <= extensionLength)
        return "None";
    return fileName.substr(0, fileName.size() - extensionLength);
}

bool isShortcutName(const std::string &fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.size() - dot != 4)
        return false;
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    return upper(fileName[dot + 1]) == 'U' && upper(fileName[dot + 2]) == 'R' &&
           upper(fileName[dot + 3]) == 'L';
}

} // namespace quorvel
