// The SRT-to-ASS conversion over any bytes, and the UTF-8 copy of an ASS file: the converted file
// is the header and then at most one dialogue line per cue, each ended by CR LF; the copy is UTF-8
// with its mark.
#include "FuzzSupport.h"

#include "core/WideText.h"
#include "media/SrtToAss.h"

#include <string_view>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kDialogue = "Dialogue: 0,";
// The arrow of a cue's time line, in 8-bit text and in UTF-16LE.
constexpr std::string_view kArrow = "-->";
constexpr std::string_view kWideArrow("-\0-\0>\0", 6);

std::size_t Occurrences(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::wstring srt = WriteFuzzFile("cues.srt", data, size);
    const std::wstring ass = ConvertToAss(srt, FuzzFolder());
    FUZZ_CHECK(!ass.empty());

    const std::string converted = ReadWholeFile(ass);
    const std::string header = std::string(kUtf8Mark) + WideToUtf8(kConvertedAssHeader);
    FUZZ_CHECK(converted.starts_with(header));
    FUZZ_CHECK(converted.ends_with("\r\n"));
    FUZZ_CHECK(Occurrences(converted, kDialogue) <=
               Occurrences(input, kArrow) + Occurrences(input, kWideArrow));
    std::size_t lineStart = header.size();
    while (lineStart < converted.size()) {
        FUZZ_CHECK(std::string_view(converted).substr(lineStart).starts_with(kDialogue));
        lineStart = converted.find("\r\n", lineStart) + 2;
    }

    // The copy goes into the folder the script lies in, so it replaces the script.
    const std::wstring copy = EnsureUtf8(WriteFuzzFile("script.ass", data, size), FuzzFolder());
    FUZZ_CHECK(!copy.empty());
    const std::string copied = ReadWholeFile(copy);
    FUZZ_CHECK(copied.empty() || copied.starts_with(kUtf8Mark));
    return 0;
}
