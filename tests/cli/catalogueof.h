#pragma once
// A catalogue of links as the checker's tests give it: "Link 0", "Link 1"... in /fav.

#include "catalogue/catalogue.h"

#include <string>
#include <vector>

namespace quorvel::test
{

inline Catalogue catalogueOf(const std::vector<std::string> &urls)
{
    Catalogue catalogue;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        catalogue.URL_Names.push_back("Link " + std::to_string(i));
        catalogue.URL_List.push_back(urls[i]);
        catalogue.Files.push_back("/fav/Link " + std::to_string(i) + ".url");
    }
    return catalogue;
}

} // namespace quorvel::test
