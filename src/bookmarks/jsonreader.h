#pragma once
// A pull reader of JSON text: the caller walks the document as it expects it and skips what it
// does not need, so a large file is read without building a tree of values first.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::bookmarks
{

class JsonReader
{
public:
    enum class Type { Object, Array, String, Number, Bool, Null, End };

    explicit JsonReader(std::string_view text);

    // The type of the next value; End when the text holds no more.
    Type peek();

    // Objects: beginObject, then nextKey until it returns false.
    void beginObject();
    bool nextKey(std::string &key);
    // Arrays: beginArray, then hasNext until it returns false, reading one value each time.
    void beginArray();
    bool hasNext();

    std::string readString();
    void skipValue();
    // After the whole document: only blanks may follow.
    void expectEnd();

    // What was wrong and where; thrown by every call that finds the text is not JSON.
    class Error
    {
    public:
        std::string message;
    };

private:
    void skipBlanks();
    void open(char c);
    // Whether the innermost container ends here; else consumes the ',' before its next item.
    bool closes(char c);
    void expect(char c);
    [[noreturn]] void fail(const std::string &what) const;
    void skipNumber();
    void skipWord(std::string_view word);
    unsigned readHex4();

    std::string_view text_;
    std::size_t at_ = 0;
    bool first_ = false; // no member or element read yet in the innermost container
    int depth_ = 0;
};

} // namespace quorvel::bookmarks
