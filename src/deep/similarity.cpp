#include "deep/similarity.h"

#include "deep/charset.h"
#include "deep/textfold.h"
#include "deep/weburl.h"

#include <algorithm>
#include <cstdint>

namespace quorvel::deep
{

namespace
{

constexpr std::size_t shingleLength = 3;

std::vector<std::string> normalisedWords(std::string_view text)
{
    std::vector<std::string> words = foldedWords(text);
    for (std::string &word : words) {
        if (std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
            word.assign(1, '#'); // not = "#": GCC 12 warns wrongly about that
    }
    return words;
}

// The forms in which a page may repeat the address it was asked for, longest first.
std::vector<std::vector<std::string>> echoesOf(std::string_view address)
{
    std::vector<std::string> texts{std::string(address)};
    if (const auto parsed = parseWebAddress(address)) {
        texts.push_back(parsed->path);
        texts.push_back(parsed->lastSegment());
    }
    // Escapes usually stand for UTF-8, but older sites escape their own 8-bit characters.
    const std::size_t asWritten = texts.size();
    for (std::size_t i = 0; i < asWritten; ++i) {
        std::string decoded = percentDecoded(texts[i]);
        if (decoded != texts[i]) {
            DecodedBody guessed = decodeBody(decoded, "text/plain");
            texts.push_back(std::move(guessed.text));
        }
    }

    std::vector<std::vector<std::string>> echoes;
    for (const std::string &text : texts) {
        auto words = normalisedWords(text);
        if (!words.empty() && std::find(echoes.begin(), echoes.end(), words) == echoes.end())
            echoes.push_back(std::move(words));
    }
    std::stable_sort(echoes.begin(), echoes.end(),
                     [](const auto &a, const auto &b) { return a.size() > b.size(); });
    return echoes;
}

void removeRuns(std::vector<std::string> &words, const std::vector<std::string> &run)
{
    if (run.empty() || run.size() > words.size())
        return;
    std::vector<std::string> kept;
    kept.reserve(words.size());
    for (std::size_t i = 0; i < words.size();) {
        if (i + run.size() <= words.size() &&
            std::equal(run.begin(), run.end(), words.begin() + static_cast<std::ptrdiff_t>(i))) {
            i += run.size();
        } else {
            kept.push_back(std::move(words[i++]));
        }
    }
    words = std::move(kept);
}

std::uint64_t fnv1a(std::uint64_t hash, std::string_view text)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::vector<std::uint64_t> shingles(const std::vector<std::string> &words, std::size_t length)
{
    std::vector<std::uint64_t> out;
    if (words.size() < length)
        return out;
    out.reserve(words.size() - length + 1);
    for (std::size_t i = 0; i + length <= words.size(); ++i) {
        std::uint64_t hash = 0xcbf29ce484222325ULL;
        for (std::size_t k = 0; k < length; ++k)
            hash = fnv1a(fnv1a(hash, words[i + k]), "\x1f");
        out.push_back(hash);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

std::vector<std::string> comparisonWords(const PageText &page, std::string_view address)
{
    const std::string &body = page.mainText.empty() ? page.text : page.mainText;
    std::vector<std::string> words = normalisedWords(page.title);
    const std::vector<std::string> bodyWords = normalisedWords(body);
    words.insert(words.end(), bodyWords.begin(), bodyWords.end());
    for (const auto &echo : echoesOf(address))
        removeRuns(words, echo);
    return words;
}

std::optional<TextComparison> compareTexts(const std::vector<std::string> &a,
                                           const std::vector<std::string> &b)
{
    if (a.empty() && b.empty())
        return std::nullopt;
    TextComparison comparison;
    const std::size_t length = std::min({shingleLength, a.size(), b.size()});
    if (length == 0) {
        comparison.onlyInFirst = a.size();
        comparison.onlyInSecond = b.size();
        return comparison;
    }
    const auto left = shingles(a, length);
    const auto right = shingles(b, length);
    std::size_t common = 0;
    for (auto l = left.begin(), r = right.begin(); l != left.end() && r != right.end();) {
        if (*l < *r) {
            ++l;
        } else if (*r < *l) {
            ++r;
        } else {
            ++common, ++l, ++r;
        }
    }
    comparison.onlyInFirst = left.size() - common;
    comparison.onlyInSecond = right.size() - common;
    comparison.similarity =
        static_cast<double>(common) / static_cast<double>(left.size() + right.size() - common);
    return comparison;
}

} // namespace quorvel::deep
