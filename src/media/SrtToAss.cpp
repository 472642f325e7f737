#include "media/SrtToAss.h"

#include "core/PathValue.h"
#include "core/StdioFileEx.h"
#include "core/WideText.h"
#include "media/FFmpegPtr.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <vector>

const wchar_t* const kConvertedAssHeader =
    L"[Script Info]\r\nTitle: QOR Auto-Converted Subtitle\r\nCollisions: Normal\r\nPlayResY: "
    L"600\r\n\r\n[V4 Styles]\r\n[Events]\r\nFormat: Marked, Start, End, Text\r\n";

namespace {

// Fields FFmpeg puts before the text of a decoded rectangle:
// ReadOrder, Layer, Style, Name, MarginL, MarginR, MarginV, Effect.
constexpr int kRectFieldsBeforeText = 8;

std::wstring Lowered(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return text;
}

bool IsBlank(const std::wstring& line) {
    return line.find_first_not_of(L" \t\r\f\v") == std::wstring::npos;
}

// FFmpeg's SubRip decoder turns one cue's text (HTML-like tags, line feeds) into ASS text.
class CSrtTextDecoder {
public:
    CSrtTextDecoder() {
        if (const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_SUBRIP)) {
            m_context.reset(avcodec_alloc_context3(codec));
            if (m_context && avcodec_open2(m_context.get(), codec, nullptr) < 0) {
                m_context.reset();
            }
        }
    }

    // False when the decoder yields no rectangle for the text.
    bool Decode(const std::string& text, std::string& assText) {
        if (!m_context) {
            return Fallback(text, assText);
        }
        CAVPacketPtr packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(text.size()) + 1) < 0) {
            return false;
        }
        std::memcpy(packet->data, text.c_str(), text.size() + 1);
        AVSubtitle subtitle{};
        int got = 0;
        const int used = avcodec_decode_subtitle2(m_context.get(), &subtitle, &got, packet.get());
        bool found = false;
        if (used >= 0 && got != 0 && subtitle.num_rects > 0 && subtitle.rects[0]->ass) {
            assText = subtitle.rects[0]->ass;
            found = true;
        }
        avsubtitle_free(&subtitle);
        if (!found) {
            return false;
        }
        std::size_t start = 0;
        for (int field = 0; field < kRectFieldsBeforeText && start != std::string::npos; ++field) {
            start = assText.find(',', start);
            start = start == std::string::npos ? start : start + 1;
        }
        assText = start == std::string::npos ? assText : assText.substr(start);
        return true;
    }

private:
    // Without FFmpeg's decoder the text goes in as it is, lines joined by ASS line breaks.
    static bool Fallback(const std::string& text, std::string& assText) {
        assText.clear();
        for (char c : text) {
            if (c == '\n') {
                assText += "\\N";
            } else if (c != '\r') {
                assText += c;
            }
        }
        while (assText.ends_with("\\N")) {
            assText.resize(assText.size() - 2);
        }
        return true;
    }

    CAVCodecContextPtr m_context;
};

// Reads the cue blocks of an SRT file: blank lines separate them; a block starts with its number
// (left out) unless its first line is already the time line.
class CSrtReader {
public:
    explicit CSrtReader(CStdioFileEx& file) : m_file(file) {}

    bool Next(std::vector<std::wstring>& block) {
        block.clear();
        std::wstring line;
        while (m_file.ReadString(line)) {
            if (!IsBlank(line)) {
                block.push_back(line);
            } else if (!block.empty()) {
                break;
            }
        }
        if (block.size() >= 2 && block[0].find(L"-->") == std::wstring::npos) {
            block.erase(block.begin());
        }
        return !block.empty();
    }

private:
    CStdioFileEx& m_file;
};

std::wstring ConvertSrt(const std::wstring& path, const std::wstring& tempFolder,
                        const std::stop_token& stop) {
    CStdioFileEx input;
    if (!input.Open(path, 0)) {
        return {};
    }
    const std::wstring output = tempFolder + CPathValue(path).Title() + L".ass";
    CStdioFileEx file;
    file.SetCodePage(kCodePageUtf8);
    if (!file.Open(output, CStdioFileEx::kModeCreate) || !file.WriteString(kConvertedAssHeader)) {
        return output;
    }
    CSrtTextDecoder decoder;
    CSrtReader reader(input);
    std::vector<std::wstring> block;
    while (reader.Next(block)) {
        if (stop.stop_requested()) {
            return {};
        }
        std::int64_t startMs = 0, endMs = 0;
        if (!ParseSrtTiming(WideToUtf8(block[0]), startMs, endMs)) {
            continue;
        }
        std::string text;
        for (std::size_t i = 1; i < block.size(); ++i) {
            text += WideToUtf8(block[i]) + "\n";
        }
        std::string assText;
        if (!decoder.Decode(text, assText)) {
            continue;
        }
        std::wstring line = CutAtClosingFontTag(Utf8ToWide(assText));
        if (!line.ends_with(L"\r\n")) {
            line += L"\r\n";
        }
        const std::string times = "Dialogue: 0," + AssTime(startMs) + "," + AssTime(endMs) + ",";
        if (!file.WriteString(Utf8ToWide(times) + line)) {
            break;
        }
    }
    return output;
}

} // namespace

std::wstring ConvertToAss(const std::wstring& path, const std::wstring& tempFolder,
                          const std::stop_token& stop) {
    const std::wstring extension = Lowered(CPathValue(path).Extension());
    if (extension == L".ass") {
        return path;
    }
    if (extension == L".srt") {
        return ConvertSrt(path, tempFolder, stop);
    }
    return {};
}

std::wstring EnsureUtf8(const std::wstring& assPath, const std::wstring& tempFolder) {
    if (CStdioFileEx::IsFileUtf8(assPath)) {
        return assPath;
    }
    CStdioFileEx input;
    if (!input.Open(assPath, 0)) {
        return {};
    }
    // Written aside and renamed, so a source that already lies in the Temp folder is not
    // emptied before it is read.
    const std::wstring output = tempFolder + CPathValue(assPath).FileName();
    const std::wstring partial = output + L".part";
    CStdioFileEx file;
    file.SetCodePage(kCodePageUtf8);
    if (!file.Open(partial, CStdioFileEx::kModeCreate)) {
        return {};
    }
    std::wstring line;
    while (input.ReadString(line) && file.WriteString(line + L"\r\n")) {
    }
    file.Close();
    input.Close();
    if (std::rename(PathToBytes(partial).c_str(), PathToBytes(output).c_str()) != 0) {
        std::remove(PathToBytes(partial).c_str());
        return {};
    }
    return output;
}

std::wstring CutAtClosingFontTag(const std::wstring& text) {
    const std::size_t tag = text.find(L"</font>");
    return tag == std::wstring::npos ? text : text.substr(0, tag) + L"\r\n";
}

std::string AssTime(std::int64_t ms) {
    ms = ms < 0 ? 0 : ms;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000 / 10));
    return text;
}

bool ParseSrtTiming(const std::string& line, std::int64_t& startMs, std::int64_t& endMs) {
    int h1 = 0, m1 = 0, s1 = 0, f1 = 0, h2 = 0, m2 = 0, s2 = 0, f2 = 0;
    if (std::sscanf(line.c_str(), " %d:%d:%d%*1[,.]%d --> %d:%d:%d%*1[,.]%d", &h1, &m1, &s1, &f1,
                    &h2, &m2, &s2, &f2) != 8) {
        return false;
    }
    const auto valid = [](int h, int m, int s, int f) {
        return h >= 0 && h < 10000 && m >= 0 && m < 60 && s >= 0 && s < 60 && f >= 0 && f < 1000;
    };
    if (!valid(h1, m1, s1, f1) || !valid(h2, m2, s2, f2)) {
        return false;
    }
    startMs = ((h1 * 60LL + m1) * 60 + s1) * 1000 + f1;
    endMs = ((h2 * 60LL + m2) * 60 + s2) * 1000 + f2;
    return true;
}
