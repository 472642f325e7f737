// The media information dialog: its size and length texts, and the rows it shows for a file with
// video and sound and for a sound-only file, read from the file's probe.
#include "app/dialogs/DlgMediaInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "MediaFixture.h"
#include "QtTestSupport.h"
#include "core/WideText.h"
#include "media/PlaybackInfo.h"
#include "support/FullScreenShot.h"

namespace {

std::string VideoAndSoundClip() {
    return MakeMedia("mediainfo_testsrc2_160x120_r25_3s_mpeg4_200k_sine_stereo_aac.mp4",
                     {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3", "-f", "lavfi", "-i",
                      "sine=f=440:sample_rate=44100:d=3", "-ac", "2", "-c:v", "mpeg4", "-b:v",
                      "200k", "-c:a", "aac"});
}

std::string SoundOnlyClip() {
    return MakeMedia("mediainfo_sine_mono_48k_125s_mp3_128k.mp3",
                     {"-f", "lavfi", "-i", "sine=f=440:sample_rate=48000:d=125", "-ac", "1", "-c:a",
                      "libmp3lame", "-b:a", "128k"});
}

std::vector<std::wstring> Labels(const std::vector<CMediaInfoRow>& rows) {
    std::vector<std::wstring> labels;
    for (const CMediaInfoRow& row : rows) {
        labels.push_back(row.label);
    }
    return labels;
}

std::wstring ValueOf(const std::vector<CMediaInfoRow>& rows, const std::wstring& label,
                     int occurrence = 0) {
    for (const CMediaInfoRow& row : rows) {
        if (row.label == label && occurrence-- == 0) {
            return row.value;
        }
    }
    return L"<missing>";
}

bool IsKilobits(const std::wstring& value) {
    return std::regex_match(WideToUtf8(value), std::regex("[1-9][0-9]* kb"));
}

struct CProbedFile : CTestApplicationUser {
    explicit CProbedFile(const std::string& file) : path(file) {
        EXPECT_EQ(info.ParseMediaContext(Utf8ToWide(path)), S_OK);
    }
    std::string path;
    CPlaybackInfo info;
};

} // namespace

TEST(MediaInfoTexts, SizesAndLengths) {
    const struct {
        std::uint64_t bytes;
        const wchar_t* text;
    } sizes[] = {
        {3ULL << 30, L"3.0GB"},
        {(5ULL << 30) / 2, L"2.5GB"},
        {1536ULL << 20, L"1.5GB"},
        {(1ULL << 30) - 1, L"1024.0MB"},
        {3ULL << 20, L"3.0MB"},
        {1536, L"1.5KB"},
        {1024, L"1.0KB"},
        {1023, L"1023"},
        {500, L"500"},
        {0, L"0"},
    };
    for (const auto& [bytes, text] : sizes) {
        EXPECT_EQ(FileSizeText(bytes), text) << bytes;
    }
    const struct {
        std::int64_t milliseconds;
        const wchar_t* text;
    } lengths[] = {
        {3'725'000, L"1:02:05"}, {3'720'000, L"1:02:00"}, {125'000, L"02:05"},
        {125'999, L"02:05"},     {3'599'999, L"59:59"},   {36'000'000, L"10:00:00"},
        {0, L"00:00"},           {-5, L"00:00"},
    };
    for (const auto& [milliseconds, text] : lengths) {
        EXPECT_EQ(LengthText(milliseconds), text) << milliseconds;
    }
}

TEST(MediaInfoDialog, FileWithVideoAndSoundShowsGeneralVideoAndAudioBlocks) {
    CProbedFile file(VideoAndSoundClip());
    CDlgMediaInfo dialog(ReadMediaFacts(file.info));
    dialog.show();
    const std::vector<CMediaInfoRow> rows = dialog.ShownRows();

    EXPECT_EQ(Labels(rows), (std::vector<std::wstring>{
                                L"General:", L"+ File Size:", L"+ File Length:", L"+ Resolution:",
                                L"", L"Video:", L"+ Codec:", L"+ Bit Rate:", L"+ Frame Rate:", L"",
                                L"Audio:", L"+ Codec:", L"+ Channels:", L"+ Bit Rate:",
                                L"+ Sample Rate:", L"+ Sample Bits:", L"+ Sample Format:"}));
    EXPECT_EQ(ValueOf(rows, L"+ File Size:"), FileSizeText(std::filesystem::file_size(file.path)));
    EXPECT_EQ(ValueOf(rows, L"+ File Length:"), L"00:03");
    EXPECT_EQ(ValueOf(rows, L"+ Resolution:"), L"160 x 120");
    EXPECT_EQ(ValueOf(rows, L"+ Codec:", 0), L"mpeg4");
    EXPECT_TRUE(IsKilobits(ValueOf(rows, L"+ Bit Rate:", 0))) << ValueOf(rows, L"+ Bit Rate:", 0);
    EXPECT_EQ(ValueOf(rows, L"+ Frame Rate:"), L"25.0 fps");
    EXPECT_EQ(ValueOf(rows, L"+ Codec:", 1), L"aac");
    EXPECT_EQ(ValueOf(rows, L"+ Channels:"), L"2");
    EXPECT_TRUE(IsKilobits(ValueOf(rows, L"+ Bit Rate:", 1))) << ValueOf(rows, L"+ Bit Rate:", 1);
    EXPECT_EQ(ValueOf(rows, L"+ Sample Rate:"), L"44100 hz");
    EXPECT_EQ(ValueOf(rows, L"+ Sample Bits:"), L"16");
    EXPECT_EQ(ValueOf(rows, L"+ Sample Format:"), L"fltp");
    for (const CMediaInfoRow& row : rows) {
        if (row.label.empty() || (row.label.back() == L':' && row.label.front() != L'+')) {
            EXPECT_EQ(row.value, L"") << WideToUtf8(row.label);
        }
    }

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Media Infomation"));
    const std::filesystem::path path(file.path);
    EXPECT_EQ(dialog.FileNameText(), QString::fromStdString(path.filename().string()));
    EXPECT_EQ(dialog.FolderText(), QString::fromStdString(path.parent_path().string() + "/"));
    EXPECT_EQ(CutOffParts(dialog), QStringList());
    SaveScreenshot(dialog, QStringLiteral("mediainfo-video"));
}

// The stream's own rate, also outside the range the renderer paces (10 to 30 fps).
TEST(MediaInfoDialog, FrameRateIsTheStreamsOwn) {
    const struct {
        const char* name;
        const char* rate;
        const wchar_t* shown;
    } clips[] = {
        {"r60", "60", L"60.0 fps"}, {"r5", "5", L"5.0 fps"}, {"r2997", "30000/1001", L"30.0 fps"}};
    for (const auto& [name, rate, shown] : clips) {
        CProbedFile file(MakeMedia(
            std::string("mediainfo_testsrc2_64x48_") + name + ".mkv",
            {"-f", "lavfi", "-i", std::string("testsrc2=s=64x48:d=1:r=") + rate, "-c:v", "mpeg4"}));
        EXPECT_EQ(ValueOf(MediaInfoRows(ReadMediaFacts(file.info)), L"+ Frame Rate:"), shown)
            << rate;
    }
}

TEST(MediaInfoDialog, SoundOnlyFileShowsTheGeneralAndAudioBlocksOnly) {
    CProbedFile file(SoundOnlyClip());
    CDlgMediaInfo dialog(ReadMediaFacts(file.info));
    dialog.show();
    const std::vector<CMediaInfoRow> rows = dialog.ShownRows();

    EXPECT_EQ(Labels(rows), (std::vector<std::wstring>{
                                L"General:", L"+ File Size:", L"+ File Length:", L"+ Resolution:",
                                L"", L"Audio:", L"+ Codec:", L"+ Channels:", L"+ Bit Rate:",
                                L"+ Sample Rate:", L"+ Sample Bits:", L"+ Sample Format:"}));
    EXPECT_EQ(ValueOf(rows, L"+ File Length:"), L"02:05");
    EXPECT_EQ(ValueOf(rows, L"+ Resolution:"), L"0 x 0");
    EXPECT_EQ(ValueOf(rows, L"+ Codec:"), L"mp3float");
    EXPECT_EQ(ValueOf(rows, L"+ Channels:"), L"1");
    EXPECT_EQ(ValueOf(rows, L"+ Bit Rate:"), L"125 kb"); // 128,000 / 1024
    EXPECT_EQ(ValueOf(rows, L"+ Sample Rate:"), L"48000 hz");
    EXPECT_EQ(ValueOf(rows, L"+ Sample Bits:"), L"16");
    EXPECT_EQ(ValueOf(rows, L"+ Sample Format:"), L"fltp");
    EXPECT_EQ(CutOffParts(dialog), QStringList());
    SaveScreenshot(dialog, QStringLiteral("mediainfo-audio"));
}
