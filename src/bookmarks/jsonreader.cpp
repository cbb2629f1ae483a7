#include "bookmarks/jsonreader.h"

#include "deep/textfold.h"
#include "platform/asciitext.h"

namespace quorvel::bookmarks
{
namespace
{

// Deeper nesting than any bookmark store has is taken as damage, not recursed into.
constexpr int maxDepth = 512;

} // namespace

JsonReader::JsonReader(std::string_view text) : text_(text)
{
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
        at_ = 3;
}

void JsonReader::fail(const std::string &what) const
{
    if (at_ >= text_.size())
        throw Error{"the JSON text ends too soon (is it truncated?): " + what};
    throw Error{"malformed JSON at byte " + std::to_string(at_) + ": " + what};
}

void JsonReader::skipBlanks()
{
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
        ++at_;
}

void JsonReader::expect(char c)
{
    skipBlanks();
    if (at_ >= text_.size() || text_[at_] != c)
        fail(std::string("expected '") + c + "'");
    ++at_;
}

JsonReader::Type JsonReader::peek()
{
    skipBlanks();
    if (at_ >= text_.size())
        return Type::End;
    switch (text_[at_]) {
    case '{':
        return Type::Object;
    case '[':
        return Type::Array;
    case '"':
        return Type::String;
    case 't':
    case 'f':
        return Type::Bool;
    case 'n':
        return Type::Null;
    default:
        if (text_[at_] == '-' || (text_[at_] >= '0' && text_[at_] <= '9'))
            return Type::Number;
        fail("unexpected character");
    }
}

void JsonReader::open(char c)
{
    expect(c);
    if (++depth_ > maxDepth)
        fail("nested too deeply");
    first_ = true;
}

bool JsonReader::closes(char c)
{
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
        ++at_;
        --depth_;
        first_ = false;
        return true;
    }
    if (!first_)
        expect(',');
    first_ = false;
    return false;
}

void JsonReader::beginObject()
{
    open('{');
}

bool JsonReader::nextKey(std::string &key)
{
    if (closes('}'))
        return false;
    if (peek() != Type::String)
        fail("expected a member name");
    key = readString();
    expect(':');
    return true;
}

void JsonReader::beginArray()
{
    open('[');
}

bool JsonReader::hasNext()
{
    return !closes(']');
}

unsigned JsonReader::readHex4()
{
    unsigned value = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
        const int digit = at_ < text_.size() ? platform::hexDigitValue(text_[at_]) : -1;
        if (digit < 0)
            fail("bad \\u escape");
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

std::string JsonReader::readString()
{
    expect('"');
    std::string out;
    while (true) {
        const std::size_t plain = text_.find_first_of("\"\\", at_);
        if (plain == std::string_view::npos) {
            at_ = text_.size();
            fail("a string is not closed");
        }
        out.append(text_.substr(at_, plain - at_));
        at_ = plain;
        if (text_[at_++] == '"')
            return out;
        if (at_ >= text_.size())
            fail("a string is not closed");
        const char escape = text_[at_++];
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            out += escape;
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            unsigned cp = readHex4();
            if (cp >= 0xD800 && cp < 0xDC00 && text_.substr(at_, 2) == "\\u") {
                at_ += 2;
                const unsigned low = readHex4();
                cp = low >= 0xDC00 && low < 0xE000
                         ? 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00)
                         : 0xFFFD;
            } else if (cp >= 0xD800 && cp < 0xE000) {
                cp = 0xFFFD; // half a surrogate pair is no character
            }
            deep::appendUtf8(out, cp);
            break;
        }
        default:
            --at_;
            fail("bad escape in a string");
        }
    }
}

void JsonReader::skipNumber()
{
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           std::string_view("0123456789+-.eE").find(text_[at_]) != std::string_view::npos)
        ++at_;
    if (at_ == start)
        fail("expected a number");
}

void JsonReader::skipWord(std::string_view word)
{
    if (text_.substr(at_, word.size()) != word)
        fail("expected " + std::string(word));
    at_ += word.size();
}

void JsonReader::skipValue()
{
    std::string key;
    switch (peek()) {
    case Type::Object:
        beginObject();
        while (nextKey(key))
            skipValue();
        break;
    case Type::Array:
        beginArray();
        while (hasNext())
            skipValue();
        break;
    case Type::String:
        readString();
        break;
    case Type::Number:
        skipNumber();
        break;
    case Type::Bool:
        skipWord(text_[at_] == 't' ? "true" : "false");
        break;
    case Type::Null:
        skipWord("null");
        break;
    case Type::End:
        fail("expected a value");
    }
}

void JsonReader::expectEnd()
{
    if (peek() != Type::End)
        fail("text after the end of the document");
}

} // namespace quorvel::bookmarks
