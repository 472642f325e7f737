#include "core/StdioFileEx.h"
#include "core/WideText.h"

#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iconv.h>
#include <iterator>
#include <vector>

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::wstring>;

// A sentence long enough for an encoding detector to recognise its language.
const std::wstring kRussian =
    L"Вчера вечером мы долго гуляли по старому городу, разговаривали о книгах, которые читали в "
    L"детстве, и смотрели, как над рекой медленно зажигаются огни. Потом мы зашли в маленькое "
    L"кафе, где пахло свежим хлебом и горячим чаем, и сидели там почти до самой ночи.";

class TextFileTest : public ::testing::Test {
protected:
    std::wstring Path(const std::string& name) const { return Utf8ToWide(m_folder.Root() + name); }

    std::wstring Write(const std::string& name, const std::string& bytes) const {
        return Utf8ToWide(m_folder.Write(name, bytes));
    }

    static std::string Bytes(const std::wstring& path) { return ReadFile(WideToUtf8(path)); }

    static Lines ReadAll(const std::wstring& path, int codePage = kCodePageAnsi) {
        CStdioFileEx file;
        file.SetCodePage(codePage);
        EXPECT_TRUE(file.Open(path, 0));
        Lines lines;
        for (std::wstring line; file.ReadString(line);) {
            lines.push_back(line);
        }
        return lines;
    }

    static std::string Iconv(const std::string& utf8, const char* to) {
        iconv_t converter = iconv_open(to, "UTF-8");
        EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
        std::string out(utf8.size() * 4, '\0');
        char* in = const_cast<char*>(utf8.data());
        std::size_t inLeft = utf8.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        EXPECT_NE(iconv(converter, &in, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
        iconv_close(converter);
        out.resize(out.size() - outLeft);
        return out;
    }

    CScratchFolder m_folder{"textfile"};
};

TEST_F(TextFileTest, WideMarkSelectsUtf16AndItsAbsenceEightBitText) {
    const std::string text = "o\0n\0e\0\r\0\n\0t\0w\0o\0"s;
    const std::wstring marked = Write("marked.txt", "\xFF\xFE" + text);
    EXPECT_TRUE(CStdioFileEx::IsFileUnicode(marked));
    EXPECT_EQ(ReadAll(marked), (Lines{L"one", L"two"}));

    const std::wstring bare = Write("bare.txt", text);
    EXPECT_FALSE(CStdioFileEx::IsFileUnicode(bare));
    EXPECT_EQ(ReadAll(bare), (Lines{L"o\0n\0e\0\r\0"s, L"\0t\0w\0o\0"s}));
}

TEST_F(TextFileTest, WideLinesSplitOnlyAtTheUtf16LineFeed) {
    // U+010A is stored as 0A 01: a 0x0A byte that is no line feed.
    const std::wstring path = Path("units.txt");
    CStdioFileEx writer;
    ASSERT_TRUE(writer.Open(path, CStdioFileEx::kModeCreate | CStdioFileEx::kModeWide));
    writer.WriteString(L"x\u010Ay\u0A0D\r\nlast");
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadAll(path), (Lines{L"x\u010Ay\u0A0D", L"last"}));
}

TEST_F(TextFileTest, CharactersBeyondTheBasicPlaneSurviveAWideRoundTrip) {
    const std::wstring path = Path("emoji.txt");
    CStdioFileEx writer;
    ASSERT_TRUE(writer.Open(path, CStdioFileEx::kModeCreate | CStdioFileEx::kModeWide));
    ASSERT_TRUE(writer.WriteString(L"a\U0001F600b\r\n"));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(Bytes(path), "\xFF\xFE"
                           "a\0\x3D\xD8\x00\xDE"
                           "b\0\r\0\n\0"s);
    EXPECT_EQ(ReadAll(path), (Lines{L"a\U0001F600b"}));
}

TEST_F(TextFileTest, DamagedWideTextReadsWithReplacementCharacters) {
    // A lone high surrogate, then a line cut off in the middle of a unit.
    const std::wstring path = Write("damaged.txt", "\xFF\xFE\x00\xD8x\0\n\0a\0b"s);
    EXPECT_EQ(ReadAll(path), (Lines{L"\uFFFDx", L"a\uFFFD"}));
}

TEST_F(TextFileTest, WideMarkGoesBeforeTheFirstLineOnlyAcrossReopening) {
    const std::wstring path = Path("append.txt");
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(path, CStdioFileEx::kModeCreate | CStdioFileEx::kModeWide));
    file.WriteString(L"one\r\n");
    file.WriteString(L"two\r\n");
    ASSERT_TRUE(file.Close());
    ASSERT_TRUE(file.Open(path, CStdioFileEx::kModeCreate | CStdioFileEx::kModeNoTruncate |
                                    CStdioFileEx::kModeWide));
    file.WriteString(L"three\r\n");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(Bytes(path), "\xFF\xFE" + WideToUtf16Le(L"one\r\ntwo\r\nthree\r\n"));

    ASSERT_TRUE(file.Open(path, CStdioFileEx::kModeCreate | CStdioFileEx::kModeWide));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(Bytes(path), "");
}

TEST_F(TextFileTest, EightBitLinesKeepAllButOneCarriageReturn) {
    const std::wstring path = Write("lines.txt", "first\n\nsecond\r\r\nlast");
    EXPECT_EQ(ReadAll(path), (Lines{L"first", L"", L"second\r", L"last"}));
    EXPECT_TRUE(ReadAll(Write("empty.txt", "")).empty());
}

TEST_F(TextFileTest, UnmarkedUtf8AndWindows1251BothReadToTheirText) {
    const std::string utf8 = WideToUtf8(kRussian);
    const std::wstring utf8Path = Write("utf8.txt", "Grüße\n" + utf8 + "\n");
    EXPECT_EQ(ReadAll(utf8Path), (Lines{L"Grüße", kRussian}));

    const std::string cp1251 = Iconv(utf8, "WINDOWS-1251");
    const std::wstring legacyPath =
        Write("cp1251.txt", "plain ascii\r\n" + cp1251 + "\r\n" + cp1251);
    EXPECT_EQ(ReadAll(legacyPath), (Lines{L"plain ascii", kRussian, kRussian}));
}

TEST_F(TextFileTest, Utf8MarkIsSkippedAndWrittenForCodePage65001) {
    const std::wstring marked = Write("marked8.txt", "\xEF\xBB\xBFzwei\xC3\xA4\nx");
    EXPECT_TRUE(CStdioFileEx::IsFileUtf8(marked));
    EXPECT_EQ(ReadAll(marked, kCodePageUtf8), (Lines{L"zweiä", L"x"}));
    EXPECT_EQ(ReadAll(marked), (Lines{L"zweiä", L"x"}));

    const std::wstring written = Path("written8.txt");
    CStdioFileEx file;
    file.SetCodePage(kCodePageUtf8);
    ASSERT_TRUE(file.Open(written, CStdioFileEx::kModeCreate));
    file.WriteString(L"ä\r\n");
    file.WriteString(L"b");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(Bytes(written), "\xEF\xBB\xBF\xC3\xA4\r\nb");

    file.SetCodePage(kCodePageAnsi);
    ASSERT_TRUE(file.Open(written, CStdioFileEx::kModeCreate));
    file.WriteString(L"ä");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(Bytes(written), "\xC3\xA4");
}

TEST_F(TextFileTest, ExplicitCodePageConvertsBothWays) {
    const std::wstring path = Path("cp1251-out.txt");
    CStdioFileEx file;
    file.SetCodePage(1251);
    ASSERT_TRUE(file.Open(path, CStdioFileEx::kModeCreate));
    file.WriteString(L"Привет \U0001F600\n");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(Bytes(path), Iconv("Привет ?\n", "WINDOWS-1251"));
    EXPECT_EQ(ReadAll(path, 1251), (Lines{L"Привет ?"}));
}

TEST_F(TextFileTest, MissingFileFailsToOpenAndReadsNothing) {
    CStdioFileEx file;
    EXPECT_FALSE(file.Open(Path("missing.txt"), 0));
    std::wstring line;
    EXPECT_FALSE(file.ReadString(line));
    EXPECT_FALSE(file.WriteString(L"x"));
    EXPECT_FALSE(CStdioFileEx::IsFileUnicode(Path("missing.txt")));
}

TEST(WideTextTest, InvalidBytesAndCodePointsBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xC3"), L"a\uFFFD");                               // cut off
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");                       // overlong
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");             // surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80x"), L"\uFFFD\uFFFD\uFFFD\uFFFDx"); // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(
        WideToUtf8(std::wstring{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}),
        "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(L"ä€\U0001F600")), L"ä€\U0001F600");
}

// Each file name's bytes, the wide path they decode to, and that path in a playlist file.
TEST(WideTextTest, PathFormsKeepEveryFileNameByteAndWriteValidNamesAsPlainUtf16) {
    struct CName {
        std::string bytes;
        std::wstring wide;
        std::string utf16;
    };
    const CName names[] = {
        {"caf\xE9", L"caf\xDCE9", "c\0a\0f\0\xE9\xDC"s},         // Latin-1
        {"\xC3\xA7", L"\u00E7", "\xE7\0"s},                      // valid: plain text
        {"\xF0\x9F\x8E\xB5", L"\U0001F3B5", "\x3C\xD8\xB5\xDF"}, // valid: a pair
        {"a\xC3", L"a\xDCC3", "a\0\xC3\xDC"s},                   // cut off
        {"\xC0\xAF", L"\xDCC0\xDCAF", "\xC0\xDC\xAF\xDC"},       // overlong
        {"\xED\xB2\x80", L"\xDCED\xDCB2\xDC80",
         "\xED\xDC\xB2\xDC\x80\xDC"}, // an escape's own UTF-8
        {"\xF0\x9F\x8E\xB5\xFF", L"\U0001F3B5\xDCFF", "\x3C\xD8\xB5\xDF\xFF\xDC"}, // pair, escape
    };
    for (const CName& name : names) {
        SCOPED_TRACE(name.bytes);
        EXPECT_EQ(PathFromBytes(name.bytes), name.wide);
        EXPECT_EQ(PathToBytes(name.wide), name.bytes);
        EXPECT_EQ(WideToUtf16Le(name.wide, EEscapes::Keep), name.utf16);
        EXPECT_EQ(Utf16LeToWide(name.utf16, EEscapes::Keep), name.wide);
        // Text keeps replacing what is not text.
        EXPECT_EQ(IsValidUtf8(name.bytes), Utf8ToWide(name.bytes) == name.wide);
        EXPECT_EQ(IsValidUtf8(name.bytes), Utf16LeToWide(name.utf16) == name.wide);
    }
    // Decoding never makes any other surrogate, so those stay damage in the path forms too.
    const std::wstring highSurrogate{static_cast<wchar_t>(0xD800)};
    EXPECT_EQ(PathToBytes(highSurrogate + L"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(WideToUtf16Le(highSurrogate + L"\xDCE9", EEscapes::Keep), "\xFD\xFF\xE9\xDC");
    EXPECT_EQ(Utf16LeToWide("\x00\xDC\x00\xD8"s, EEscapes::Keep), L"\uFFFD\uFFFD");
}

} // namespace
