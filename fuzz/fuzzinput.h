#pragma once
// Helpers shared by the fuzz targets. Inputs are text whose first line carries the call's
// parameters, so seeds stay readable and the fuzzer's mutations stay meaningful.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::fuzz
{

inline std::string_view asText(const std::uint8_t *data, std::size_t size)
{
    return {reinterpret_cast<const char *>(data), size};
}

// The first line (without its LF) and everything after it.
inline std::pair<std::string_view, std::string_view> splitFirstLine(std::string_view input)
{
    const std::size_t end = input.find('\n');
    if (end == std::string_view::npos)
        return {input, {}};
    return {input.substr(0, end), input.substr(end + 1)};
}

// The fields of a line separated by '|'; an absent field is empty.
inline std::vector<std::string_view> fields(std::string_view line, std::size_t count)
{
    std::vector<std::string_view> out(count);
    for (std::size_t i = 0; i < count && !line.empty(); ++i) {
        const std::size_t bar = i + 1 < count ? line.find('|') : std::string_view::npos;
        out[i] = line.substr(0, bar);
        line = bar == std::string_view::npos ? std::string_view{} : line.substr(bar + 1);
    }
    return out;
}

// Decimal digits as a number no larger than limit; fallback when there are none.
inline std::size_t numberOr(std::string_view text, std::size_t fallback, std::size_t limit)
{
    if (text.empty())
        return fallback;
    std::size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return fallback;
        value = value * 10 + static_cast<std::size_t>(c - '0');
        if (value > limit)
            return limit;
    }
    return value;
}

// A broken promise of the code under test: abort, so that libFuzzer keeps the input as a crash.
inline void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

} // namespace quorvel::fuzz
