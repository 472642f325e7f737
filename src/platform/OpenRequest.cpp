#include "platform/OpenRequest.h"

#include <cstdint>

namespace {

constexpr std::string_view kMagic = "QOPN";
// Bumped when the layout changes; a player refuses a version it does not know.
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kWordBytes = 4;
constexpr std::size_t kMaxBodyBytes = kMaxOpenRequestBytes - kOpenRequestHeaderBytes;

void AppendWord(std::string& out, std::size_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

std::uint32_t ReadWord(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < kWordBytes; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// Reads the words and strings of the body front to back; every read fails past the end.
class CBodyReader {
public:
    explicit CBodyReader(std::string_view body) : m_rest(body) {}

    std::optional<std::size_t> Word() {
        if (m_rest.size() < kWordBytes) {
            return std::nullopt;
        }
        const std::uint32_t value = ReadWord(m_rest);
        m_rest.remove_prefix(kWordBytes);
        return value;
    }
    std::optional<std::string_view> Bytes(std::size_t count) {
        if (m_rest.size() < count) {
            return std::nullopt;
        }
        const std::string_view bytes = m_rest.substr(0, count);
        m_rest.remove_prefix(count);
        return bytes;
    }
    bool AtEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

bool IsAcceptedPath(std::string_view path) {
    return !path.empty() && path.size() <= kMaxOpenRequestPathBytes && path.front() == '/' &&
           path.find('\0') == std::string_view::npos;
}

} // namespace

std::string EncodeOpenRequest(const std::vector<std::string>& paths) {
    std::string entries;
    std::size_t count = 0;
    for (const std::string& path : paths) {
        if (!IsAcceptedPath(path)) {
            continue;
        }
        if (count == kMaxOpenRequestPaths ||
            kWordBytes + entries.size() + kWordBytes + path.size() > kMaxBodyBytes) {
            break;
        }
        AppendWord(entries, path.size());
        entries += path;
        ++count;
    }
    std::string message(kMagic);
    AppendWord(message, kVersion);
    AppendWord(message, kWordBytes + entries.size());
    AppendWord(message, count);
    return message + entries;
}

EOpenRequestProgress OpenRequestProgress(std::string_view received) {
    // A wrong first byte is enough to tell, so that a stray writer is not waited for.
    if (!kMagic.starts_with(received.substr(0, kMagic.size()))) {
        return EOpenRequestProgress::Malformed;
    }
    if (received.size() < kOpenRequestHeaderBytes) {
        return EOpenRequestProgress::Incomplete;
    }
    const std::size_t bodyBytes = ReadWord(received.substr(2 * kWordBytes));
    if (ReadWord(received.substr(kWordBytes)) != kVersion || bodyBytes > kMaxBodyBytes) {
        return EOpenRequestProgress::Malformed;
    }
    const std::size_t whole = kOpenRequestHeaderBytes + bodyBytes;
    if (received.size() < whole) {
        return EOpenRequestProgress::Incomplete;
    }
    return received.size() == whole ? EOpenRequestProgress::Whole : EOpenRequestProgress::Malformed;
}

std::optional<std::vector<std::string>> ParseOpenRequest(std::string_view message) {
    if (OpenRequestProgress(message) != EOpenRequestProgress::Whole) {
        return std::nullopt;
    }
    CBodyReader body(message.substr(kOpenRequestHeaderBytes));
    const std::optional<std::size_t> count = body.Word();
    if (!count || *count > kMaxOpenRequestPaths) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < *count; ++i) {
        const std::optional<std::size_t> length = body.Word();
        if (!length || *length > kMaxOpenRequestPathBytes) {
            return std::nullopt;
        }
        const std::optional<std::string_view> path = body.Bytes(*length);
        if (!path || !IsAcceptedPath(*path)) {
            return std::nullopt;
        }
        paths.emplace_back(*path);
    }
    if (!body.AtEnd()) {
        return std::nullopt;
    }
    return paths;
}
