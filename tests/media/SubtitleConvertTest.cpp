#include "SubtitleTestSupport.h"

#include "core/LegacyText.h"
#include "media/AssPtr.h"
#include "media/SrtToAss.h"
#include "media/SubtitleStyle.h"

#include <chrono>

namespace {

class SubtitleConvertTest : public CSubtitleTestBase {
protected:
    std::wstring Temp() const { return Utf8ToWide(m_root + "temp/"); }
    void SetUp() override {
        CSubtitleTestBase::SetUp();
        std::filesystem::create_directories(m_root + "temp");
    }
};

TEST(SrtTimingTest, TimesAndTheirAssForm) {
    std::int64_t start = 0, end = 0;
    ASSERT_TRUE(ParseSrtTiming("00:01:02,345 --> 01:00:00.000 X1:10 X2:20", start, end));
    EXPECT_EQ(start, 62345);
    EXPECT_EQ(end, 3600000);
    EXPECT_FALSE(ParseSrtTiming("1", start, end));
    EXPECT_FALSE(ParseSrtTiming("00:61:00,000 --> 00:62:00,000", start, end));
    EXPECT_FALSE(ParseSrtTiming("00:00:01,000 -> 00:00:02,000", start, end));

    EXPECT_EQ(AssTime(62345), "0:01:02.34");
    EXPECT_EQ(AssTime(36000000 + 5), "10:00:00.00");
    EXPECT_EQ(AssTime(-5), "0:00:00.00");
}

TEST(SrtTimingTest, ClosingFontTagCutsTheRestOfTheLine) {
    EXPECT_EQ(CutAtClosingFontTag(L"first words</font> lost words"), L"first words\r\n");
    EXPECT_EQ(CutAtClosingFontTag(L"no tag here"), L"no tag here");
}

TEST_F(SubtitleConvertTest, SrtBecomesTimedDialogueUnderTheFixedHeader) {
    const std::wstring srt =
        Write("in/film.srt", "1\r\n00:00:01,000 --> 00:00:02,500\r\n<b>Hello</b>\r\nworld\r\n\r\n"
                             "\r\n2\r\n00:01:00,000 --> 00:01:01,000\r\nsecond, with comma\r\n\r\n"
                             "3\r\nnot a time line\r\nskipped\r\n\r\n"
                             "00:02:00,000 --> 00:02:01,000\r\nno number\r\n");
    const std::wstring ass = ConvertToAss(srt, Temp());
    ASSERT_EQ(ass, Temp() + L"film.ass");
    const std::string text = Read(ass);
    EXPECT_EQ(text, "\xEF\xBB\xBF" + WideToUtf8(kConvertedAssHeader) +
                        "Dialogue: 0,0:00:01.00,0:00:02.50,{\\b1}Hello{\\b0}\\Nworld\r\n"
                        "Dialogue: 0,0:01:00.00,0:01:01.00,second, with comma\r\n"
                        "Dialogue: 0,0:02:00.00,0:02:01.00,no number\r\n");

    // libass reads it back with the cue times intact and the header's resolution.
    CAssLibraryPtr library(ass_library_init());
    std::string path = WideToUtf8(EnsureUtf8(ass, Temp()));
    CAssTrackPtr track(ass_read_file(library.get(), path.data(), nullptr));
    ASSERT_TRUE(track);
    EXPECT_EQ(track->PlayResY, 600);
    ASSERT_EQ(track->n_events, 3);
    EXPECT_EQ(track->events[0].Start, 1000);
    EXPECT_EQ(track->events[0].Duration, 1500);
    EXPECT_STREQ(track->events[1].Text, "second, with comma");
    ASSERT_TRUE(ApplyDefaultStyle(track.get()));
    EXPECT_DOUBLE_EQ(track->styles[0].FontSize, 29.4);
    EXPECT_EQ(track->events[0].Style, 0);
}

TEST_F(SubtitleConvertTest, OnlyAssAndSrtAreLoadable) {
    const std::wstring ass = Write("in/x.ASS", "[Script Info]\r\n");
    EXPECT_EQ(ConvertToAss(ass, Temp()), ass);
    EXPECT_EQ(ConvertToAss(Write("in/x.txt", "1\n"), Temp()), L"");
    EXPECT_EQ(ConvertToAss(Utf8ToWide(m_root + "in/missing.srt"), Temp()), L"");
}

TEST_F(SubtitleConvertTest, LegacyAndWideSrtTextComesOutAsUtf8) {
    const std::wstring russian = L"Привет, как дела? Это проверка русского текста субтитров.";
    std::string cp1251;
    std::wstring wide;
    for (int i = 0; i < 20; ++i) {
        const std::wstring cue = std::to_wstring(i + 1) + L"\r\n00:00:" + (i < 10 ? L"0" : L"") +
                                 std::to_wstring(i) + L",000 --> 00:00:59,000\r\n" + russian +
                                 L"\r\n\r\n";
        cp1251 += EncodeToEncoding(cue, "CP1251");
        wide += cue;
    }
    const std::string expected = WideToUtf8(russian);
    const std::string fromLegacy = Read(ConvertToAss(Write("in/legacy.srt", cp1251), Temp()));
    EXPECT_NE(fromLegacy.find("0:00:19.00,0:00:59.00," + expected), std::string::npos);
    const std::string fromWide =
        Read(ConvertToAss(Write("in/wide.srt", "\xFF\xFE" + WideToUtf16Le(wide)), Temp()));
    EXPECT_NE(fromWide.find("0:00:07.00,0:00:59.00," + expected), std::string::npos);
}

TEST_F(SubtitleConvertTest, AssWithoutMarkIsCopiedAsUtf8EvenFromTheTempFolder) {
    const std::string script = "[Script Info]\nTitle: caf\xE9\n";
    const std::wstring outside = Write("in/latin.ass", script);
    const std::wstring copy = EnsureUtf8(outside, Temp());
    EXPECT_EQ(copy, Temp() + L"latin.ass");
    EXPECT_EQ(Read(copy), "\xEF\xBB\xBF[Script Info]\r\nTitle: caf\xC3\xA9\r\n");
    EXPECT_EQ(Read(outside), script);

    // A source that already lies where its copy goes is read before it is replaced.
    const std::wstring inside = Write("temp/inside.ass", script);
    EXPECT_EQ(EnsureUtf8(inside, Temp()), inside);
    EXPECT_EQ(Read(inside), "\xEF\xBB\xBF[Script Info]\r\nTitle: caf\xC3\xA9\r\n");
    EXPECT_EQ(EnsureUtf8(inside, Temp()), inside); // marked now: used as it is
}

using SubtitleConvertTimed = SubtitleConvertTest;

TEST_F(SubtitleConvertTimed, HundredThousandCuesConvertQuickly) {
    std::string srt;
    for (int i = 0; i < 100000; ++i) {
        const int s = i % 3600;
        char cue[128];
        std::snprintf(cue, sizeof cue, "%d\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\nCue %d\n\n",
                      i + 1, i / 3600, s / 60, s % 60, i / 3600, s / 60, s % 60, i);
        srt += cue;
    }
    const std::wstring path = Write("in/long.srt", srt);
    const auto started = std::chrono::steady_clock::now();
    const std::string text = Read(ConvertToAss(path, Temp()));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100000 + 8);
    EXPECT_NE(text.find("Dialogue: 0,27:46:39.00,27:46:39.50,Cue 99999\r\n"), std::string::npos);
}

} // namespace
