#include "platform/codepage.h"

#include "platform/registry.h"

#include <cerrno>
#include <charconv>

#include <iconv.h>

namespace quorvel::platform
{

namespace
{

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);

// glibc's name for a Windows code page number.
std::string iconvName(unsigned codePage)
{
    if (codePage == 65001)
        return "UTF-8";
    if (codePage == 20127)
        return "ASCII";
    if (codePage == 20866)
        return "KOI8-R";
    if (codePage == 21866)
        return "KOI8-U";
    if (codePage >= 28591 && codePage <= 28606)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

// Owns one iconv converter for the length of a call.
struct Converter {
    explicit Converter(const char *from) : handle(::iconv_open("UTF-8", from)) {}
    ~Converter()
    {
        if (handle != noConverter)
            ::iconv_close(handle);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    iconv_t handle;
};

// Runs text through an iconv converter into UTF-8. A sequence it cannot convert is replaced
// (by U+FFFD, skipping one byte) when replace is set; otherwise the whole text fails.
std::optional<std::string> convert(iconv_t converter, std::string_view text, bool replace)
{
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    std::string out(text.size() * 3 + 16, '\0');
    std::size_t done = 0;
    char *in = const_cast<char *>(text.data());
    std::size_t inLeft = text.size();
    for (bool flushed = false; !flushed;) {
        if (out.size() - done < 16)
            out.resize(out.size() * 2);
        char *outPtr = out.data() + done;
        std::size_t outLeft = out.size() - done;
        // A last call without input ends a stateful encoding (UTF-7's open base64 run).
        const bool flushing = inLeft == 0;
        const std::size_t result = flushing
                                       ? ::iconv(converter, nullptr, nullptr, &outPtr, &outLeft)
                                       : ::iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        done = static_cast<std::size_t>(outPtr - out.data());
        if (result != static_cast<std::size_t>(-1)) {
            flushed = flushing;
            continue;
        }
        if (error == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (nothing to map to) or EINVAL (a sequence cut off by the end of the text).
        if (!replace)
            return std::nullopt;
        if (out.size() - done < 16)
            out.resize(out.size() * 2);
        out.replace(done, 3, "\xEF\xBF\xBD", 3);
        done += 3;
        if (error == EINVAL || flushing)
            break;
        ++in;
        --inLeft;
        ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(done);
    return out;
}

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

unsigned GetACP()
{
    try {
        TRegistry reg(RootKey::LocalMachine);
        if (!reg.OpenKey("SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", false))
            return DefaultAnsiCodePage;
        const std::string text = reg.ReadString("ACP");
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value == 0)
            return DefaultAnsiCodePage;
        return value;
    } catch (const ERegistryException &) {
        // A hive that cannot be read, or ACP not a string: 8-bit text still has to be shown.
        return DefaultAnsiCodePage;
    }
}

CodePageDecoder::CodePageDecoder(unsigned codePage) : codePage_(codePage)
{
    iconv_t converter = ::iconv_open("UTF-8", iconvName(codePage).c_str());
    if (converter == noConverter) {
        codePage_ = DefaultAnsiCodePage;
        converter = ::iconv_open("UTF-8", iconvName(DefaultAnsiCodePage).c_str());
    }
    converter_ = converter == noConverter ? nullptr : converter;
}

CodePageDecoder::~CodePageDecoder()
{
    if (converter_)
        ::iconv_close(static_cast<iconv_t>(converter_));
}

std::string CodePageDecoder::decode(std::string_view bytes)
{
    // ASCII is the same in every code page we accept, and nearly every URL is ASCII.
    if (isAscii(bytes) || !converter_)
        return std::string(bytes);
    return *convert(static_cast<iconv_t>(converter_), bytes, true);
}

std::string decodeCodePage(std::string_view bytes, unsigned codePage)
{
    if (isAscii(bytes))
        return std::string(bytes);
    return CodePageDecoder(codePage).decode(bytes);
}

std::optional<std::string> decodeUtf7(std::string_view text)
{
    // UTF-7 is 7-bit: a byte above 0x7F means the text is something else.
    if (!isAscii(text))
        return std::nullopt;
    if (text.find('+') == std::string_view::npos)
        return std::string(text);
    const Converter converter("UTF-7");
    if (converter.handle == noConverter)
        return std::nullopt;
    return convert(converter.handle, text, false);
}

namespace
{

// The length of the well-formed UTF-8 sequence at text[i], 0 when there is none there.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        // Most texts are ASCII; their bytes need no decoding.
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceAt(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string validUtf8(std::string_view text)
{
    if (isUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceAt(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace quorvel::platform
