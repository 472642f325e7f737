#include "core/StdioFileEx.h"

#include "core/WideText.h"

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Enough text for the detector to settle on an encoding; bounds the memory a huge file costs.
constexpr std::size_t kDetectSampleBytes = 256 * 1024;

constexpr std::string_view kWideMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool FileStartsWith(const std::wstring& path, std::string_view mark) {
    std::FILE* file = std::fopen(PathToBytes(path).c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char head[4] = {};
    const std::size_t read = std::fread(head, 1, mark.size(), file);
    std::fclose(file);
    return std::string_view(head, read) == mark;
}

} // namespace

bool CStdioFileEx::Open(const std::wstring& path, unsigned flags) {
    Close();
    const bool write = (flags & (kModeWrite | kModeCreate)) != 0;
    int openFlags = (write ? O_WRONLY : O_RDONLY) | O_CLOEXEC;
    if ((flags & kModeCreate) != 0) {
        openFlags |= O_CREAT;
        if ((flags & kModeNoTruncate) == 0) {
            openFlags |= O_TRUNC;
        }
    }
    const int fd = ::open(PathToBytes(path).c_str(), openFlags, 0666);
    if (fd < 0) {
        return false;
    }
    m_file = fdopen(fd, write ? "wb" : "rb");
    if (m_file == nullptr) {
        ::close(fd);
        return false;
    }
    m_wide = (flags & kModeWide) != 0;
    m_paths = (flags & kModePaths) != 0;
    m_atStart = true;
    m_legacyEncoding.clear();
    if (write) {
        std::fseek(m_file, 0, SEEK_END);
    } else {
        char head[2] = {};
        m_wide = m_wide || std::string_view(head, std::fread(head, 1, 2, m_file)) == kWideMark;
        std::rewind(m_file);
    }
    return true;
}

bool CStdioFileEx::Close() {
    if (m_file == nullptr) {
        return true;
    }
    const bool stored = std::fclose(m_file) == 0;
    m_file = nullptr;
    return stored;
}

bool CStdioFileEx::ReadString(std::wstring& line) {
    if (m_file == nullptr) {
        return false;
    }
    if (m_atStart) {
        SkipMarkAtStart();
    }
    return m_wide ? ReadWideLine(line) : ReadNarrowLine(line);
}

bool CStdioFileEx::WriteString(const std::wstring& text) {
    if (m_file == nullptr) {
        return false;
    }
    std::string bytes;
    if (std::ftell(m_file) == 0) {
        bytes = m_wide ? kWideMark : m_codePage == kCodePageUtf8 ? kUtf8Mark : "";
    }
    bytes += m_wide ? WideToUtf16Le(text) : EncodeToEncoding(text, CodePageEncoding(m_codePage));
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

bool CStdioFileEx::IsFileUnicode(const std::wstring& path) {
    return FileStartsWith(path, kWideMark);
}

bool CStdioFileEx::IsFileUtf8(const std::wstring& path) {
    return FileStartsWith(path, kUtf8Mark);
}

// Only a mark that is really there is skipped, so a file without one loses no text. The ANSI
// code page is UTF-8 where it can be, so it skips the UTF-8 mark as well.
void CStdioFileEx::SkipMarkAtStart() {
    m_atStart = false;
    char head[3] = {};
    const std::string_view start(head, std::fread(head, 1, sizeof head, m_file));
    long skip = 0;
    if (m_wide) {
        skip = start.starts_with(kWideMark) ? 2 : 0;
    } else if (m_codePage == kCodePageUtf8 || m_codePage == kCodePageAnsi) {
        skip = start.starts_with(kUtf8Mark) ? 3 : 0;
    }
    std::fseek(m_file, skip, SEEK_SET);
}

// Lines end at the UTF-16 unit 0x000A, never at a 0x0A byte inside another character.
bool CStdioFileEx::ReadWideLine(std::wstring& line) {
    std::string bytes;
    int low = std::getc(m_file);
    if (low == EOF) {
        return false;
    }
    for (; low != EOF; low = std::getc(m_file)) {
        const int high = std::getc(m_file);
        if (high == EOF) {
            bytes += static_cast<char>(low);
            break;
        }
        if (low == 0x0A && high == 0) {
            break;
        }
        bytes += static_cast<char>(low);
        bytes += static_cast<char>(high);
    }
    line = Utf16LeToWide(bytes, m_paths ? EEscapes::Keep : EEscapes::Replace);
    if (!line.empty() && line.back() == L'\r') {
        line.pop_back();
    }
    return true;
}

bool CStdioFileEx::ReadNarrowLine(std::wstring& line) {
    char* raw = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = getline(&raw, &capacity, m_file);
    const std::unique_ptr<char, decltype(&std::free)> owner(raw, &std::free);
    if (length < 0) {
        return false;
    }
    std::string bytes(raw, static_cast<std::size_t>(length));
    if (!bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
    }
    if (!bytes.empty() && bytes.back() == '\r') {
        bytes.pop_back();
    }
    if (m_codePage == kCodePageUtf8) {
        line = Utf8ToWide(bytes);
    } else if (m_codePage == kCodePageAnsi) {
        line = IsValidUtf8(bytes) ? Utf8ToWide(bytes) : DecodeAnsi(bytes);
    } else {
        line = DecodeFromEncoding(bytes, CodePageEncoding(m_codePage));
    }
    return true;
}

// The detector sees the file from its start, so that every line is read in the same encoding
// whichever line first needs it.
std::wstring CStdioFileEx::DecodeAnsi(const std::string& bytes) {
    if (m_legacyEncoding.empty()) {
        const long position = std::ftell(m_file);
        std::string sample(kDetectSampleBytes, '\0');
        std::rewind(m_file);
        sample.resize(std::fread(sample.data(), 1, sample.size(), m_file));
        std::fseek(m_file, position, SEEK_SET);
        m_legacyEncoding = DetectLegacyEncoding(sample);
    }
    return DecodeFromEncoding(bytes, m_legacyEncoding);
}
