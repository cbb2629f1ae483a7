// The catalogue's reading of one shortcut file. First line: the file's name without ".url";
// the rest: its bytes. The file is written to a folder of its own and scanned as the favorites
// folder would be.

#include "catalogue/catalogue.h"
#include "platform/codepage.h"

#include "fuzzinput.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace
{

namespace fs = std::filesystem;

// One scratch folder per process, below TMPDIR, removed when the fuzzer exits normally.
class Scratch
{
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "quorvel-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path &folder() const { return folder_; }

private:
    fs::path folder_;
};

// A name the file system takes: no separator or NUL, short enough with its extension.
std::string fileNameOf(std::string_view stem)
{
    std::string name(stem.substr(0, 200));
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    return name + ".url";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace quorvel::fuzz;
    static const Scratch scratch;
    const auto [stem, bytes] = splitFirstLine(asText(data, size));
    const std::string name = fileNameOf(stem);
    const fs::path file = scratch.folder() / name;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            std::abort();
    }

    quorvel::Catalogue catalogue;
    quorvel::SearchURL(scratch.folder().string(), catalogue);
    fs::remove(file);

    check(catalogue.size() == 1 && catalogue.URL_Names.size() == 1 && catalogue.Files.size() == 1,
          "one shortcut file gives one entry in each list");
    check(catalogue.Files[0] == file.string(), "the entry names the file it came from");
    // A name that is not UTF-8 shows decoded from the ANSI code page, as the scan decodes it.
    quorvel::platform::CodePageDecoder ansi(quorvel::platform::GetACP());
    check(catalogue.URL_Names[0] == quorvel::displayNameOf(name, ansi), "the name is the file's");
    const std::string &url = catalogue.URL_List[0];
    check(url.size() <= 2047, "a URL keeps within the reader's buffer");
    check(url.find('\0') == std::string::npos, "a URL is a C string");
    return 0;
}
