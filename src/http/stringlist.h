#pragma once
// An ordered list of 8-bit text lines with a whole-text view, for headers and accept types.

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel
{

class StringList
{
public:
    StringList() = default;
    StringList(std::initializer_list<std::string> lines) : m_lines(lines) {}

    // Every line followed by CR LF.
    std::string text() const;
    // Splits at CR LF, LF or CR; a line break at the very end ends the last line and adds none.
    void setText(const std::string &text);

    const std::vector<std::string> &lines() const { return m_lines; }
    std::size_t count() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string &operator[](std::size_t index) const { return m_lines[index]; }
    std::vector<std::string>::const_iterator begin() const { return m_lines.begin(); }
    std::vector<std::string>::const_iterator end() const { return m_lines.end(); }

    void add(const std::string &line) { m_lines.push_back(line); }
    void clear() { m_lines.clear(); }
    void assign(const StringList &other) { m_lines = other.m_lines; }

    friend bool operator==(const StringList &, const StringList &) = default;

private:
    std::vector<std::string> m_lines;
};

} // namespace quorvel
