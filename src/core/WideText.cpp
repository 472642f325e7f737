#include "core/WideText.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

// A file-name byte that is not part of well-formed UTF-8 is kept as U+DC00 plus the byte; such
// bytes are always 0x80 or above, since every byte below decodes on its own.
constexpr char32_t kEscapeBase = 0xDC00;
constexpr char32_t kFirstEscape = 0xDC80;
constexpr char32_t kLastEscape = 0xDCFF;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

bool IsEscapedByte(char32_t c) {
    return c >= kFirstEscape && c <= kLastEscape;
}

char32_t CodePoint(wchar_t c) {
    return static_cast<char32_t>(static_cast<std::uint32_t>(c));
}

char32_t Sanitised(char32_t value, EEscapes escapes) {
    if (escapes == EEscapes::Keep && IsEscapedByte(value)) {
        return value;
    }
    return value > kMaxCodePoint || IsSurrogate(value) ? kReplacement : value;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at bytes[pos]; returns its length, or 0 when the bytes there do not
// start a well-formed sequence (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeUtf8At(std::string_view bytes, std::size_t pos, char32_t& out) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        out = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - pos < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > kMaxCodePoint || IsSurrogate(value)) {
        return 0;
    }
    out = value;
    return length;
}

std::string EncodeUtf8(std::wstring_view text, EEscapes escapes) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wide : text) {
        const char32_t c = Sanitised(CodePoint(wide), escapes);
        if (IsEscapedByte(c)) {
            out += static_cast<char>(c - kEscapeBase);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::wstring DecodeUtf8(std::string_view bytes, EEscapes escapes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, pos, c);
        if (length == 0) {
            c = escapes == EEscapes::Keep ? kEscapeBase + static_cast<unsigned char>(bytes[pos])
                                          : kReplacement;
        }
        out += static_cast<wchar_t>(c);
        pos += length == 0 ? 1 : length;
    }
    return out;
}

} // namespace

std::string WideToUtf8(std::wstring_view text) {
    return EncodeUtf8(text, EEscapes::Replace);
}

std::wstring Utf8ToWide(std::string_view bytes) {
    return DecodeUtf8(bytes, EEscapes::Replace);
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, pos, c);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string PathToBytes(std::wstring_view path) {
    return EncodeUtf8(path, EEscapes::Keep);
}

std::wstring PathFromBytes(std::string_view bytes) {
    return DecodeUtf8(bytes, EEscapes::Keep);
}

std::string WideToUtf16Le(std::wstring_view text, EEscapes escapes) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto appendUnit = [&out](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (const wchar_t wide : text) {
        const char32_t c = Sanitised(CodePoint(wide), escapes);
        if (c < 0x10000) {
            appendUnit(c);
        } else {
            appendUnit(0xD800 + ((c - 0x10000) >> 10));
            appendUnit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::wstring Utf16LeToWide(std::string_view bytes, EEscapes escapes) {
    std::wstring out;
    out.reserve(bytes.size() / 2 + 1);
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [bytes](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        out += static_cast<wchar_t>(Sanitised(unit, escapes));
    }
    if (bytes.size() % 2 != 0) {
        out += static_cast<wchar_t>(kReplacement);
    }
    return out;
}
