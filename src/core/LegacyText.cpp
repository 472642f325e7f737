#include "core/LegacyText.h"

#include "core/WideText.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <type_traits>
#include <uchardet.h>

namespace {

constexpr const char* kFallbackEncoding = "WINDOWS-1252";

class CIconv {
public:
    CIconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~CIconv() {
        if (IsOpen()) {
            iconv_close(m_handle);
        }
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // Converts all of the input; at each character it cannot take, appends the replacement (already
    // in the target encoding) and skips one byte, or one whole character of UTF-8 input.
    std::string Convert(std::string_view input, std::string_view replacement, bool inputIsUtf8) {
        std::string out;
        char buffer[4096];
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(m_handle, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, outPtr);
            if (result == static_cast<std::size_t>(-1) && error != E2BIG) {
                // EILSEQ, or EINVAL for a truncated sequence at the end.
                out.append(replacement);
                do {
                    ++in;
                    --inLeft;
                } while (inputIsUtf8 && inLeft > 0 &&
                         (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
                iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(m_handle, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, outPtr);
        return out;
    }

private:
    iconv_t m_handle;
};

bool IsUsableLegacyEncoding(const std::string& name) {
    if (name.empty() || name == "ASCII" || name.starts_with("UTF-") || name.starts_with("UCS-")) {
        return false;
    }
    return CIconv("UTF-8", name.c_str()).IsOpen();
}

} // namespace

std::string CodePageEncoding(int codePage) {
    if (codePage == kCodePageAnsi || codePage == kCodePageUtf8) {
        return "UTF-8";
    }
    return "CP" + std::to_string(codePage);
}

std::string DetectLegacyEncoding(std::string_view sample) {
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(
        uchardet_new(), &uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) {
        return kFallbackEncoding;
    }
    uchardet_data_end(detector.get());
    const std::string name = uchardet_get_charset(detector.get());
    return IsUsableLegacyEncoding(name) ? name : kFallbackEncoding;
}

std::wstring DecodeFromEncoding(std::string_view bytes, const std::string& encoding) {
    CIconv converter("UTF-8", encoding.c_str());
    if (!converter.IsOpen()) {
        std::wstring out;
        for (const char c : bytes) {
            out += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        return out;
    }
    return Utf8ToWide(converter.Convert(bytes, "\xEF\xBF\xBD", false));
}

std::string EncodeToEncoding(std::wstring_view text, const std::string& encoding) {
    const std::string utf8 = WideToUtf8(text);
    if (encoding == "UTF-8") {
        return utf8;
    }
    CIconv converter(encoding.c_str(), "UTF-8");
    if (!converter.IsOpen()) {
        return utf8;
    }
    return converter.Convert(utf8, "?", true);
}
