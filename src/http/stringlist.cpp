#include "http/stringlist.h"

namespace quorvel
{

std::string StringList::text() const
{
    std::string result;
    for (const std::string &line : m_lines) {
        result += line;
        result += "\r\n";
    }
    return result;
}

void StringList::setText(const std::string &text)
{
    m_lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            m_lines.push_back(text.substr(start));
            break;
        }
        m_lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
}

} // namespace quorvel
