#pragma once
// Text for the loopback web sites: articles, product descriptions and page templates that read
// like real pages, made from fixed sentence pools so every run serves the same bytes.

#include <string>
#include <vector>

namespace quorvel::test
{

// A title and an article of sentenceCount sentences in paragraphs, chosen by slug.
struct Article {
    std::string title;
    std::string html; // <p> paragraphs
};
Article articleFor(const std::string &slug, int sentenceCount);

// A product of the loopback shop, chosen by slug: name, price, one or two sentences.
struct Product {
    std::string name;
    std::string price;
    std::string description;
};
Product productFor(const std::string &slug);

// A whole page: doctype, head with charset and title, the body as given.
std::string htmlPage(const std::string &title, const std::string &body,
                     const std::string &charset = "utf-8");

// Scripts and styles as real pages carry them, full of words that are not visible text.
std::string pageNoise();

// Templates shared by every page of a site, with the page's own part in the middle.
std::string newsTemplate(const std::string &main);    // div-based, very heavy
std::string blogTemplate(const std::string &main);    // header/nav/aside/footer, heavy
std::string shopTemplate(const std::string &main);    // header/nav and div blocks
std::string companyTemplate(const std::string &main); // light

} // namespace quorvel::test
