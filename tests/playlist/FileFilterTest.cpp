#include "playlist/FileFilter.h"

#include "core/FileFinder.h"
#include "core/MiscFunc.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

TEST(FileFilter, PairsAreBuiltFromTheExtensionLists) {
    EXPECT_EQ(PlaylistsFilter(), L"Playlists|*.mpl;|");
    EXPECT_EQ(SubtitlesAllFilter(), L"Subtitles|*.ass;*.srt;|All File(*.*)|*.*;|");
    EXPECT_EQ(BuildFilter(L"X", "a  b"), L"X|*.a;*.b;|");

    const std::wstring media = MediaFilter();
    EXPECT_EQ(media.rfind(L"All Media|*.asf;*.avi;*.au;", 0), 0u);
    const std::size_t video = CMiscFunc::SplitString(std::string(kVideoExtensions), ' ').size();
    const std::size_t audio = CMiscFunc::SplitString(std::string(kAudioExtensions), ' ').size();
    const std::wstring allMedia = media.substr(0, media.find(L"|All Video|"));
    EXPECT_EQ(static_cast<std::size_t>(std::count(allMedia.begin(), allMedia.end(), L';')),
              video + audio);
    EXPECT_NE(media.find(L"*.ogg;|All Video|*.asf;"), std::wstring::npos);
    EXPECT_NE(media.find(L"*.h264;|All Audio|*.wma;"), std::wstring::npos);
    EXPECT_TRUE(media.ends_with(L"*.ogg;|"));
    EXPECT_EQ(MediaAllFilter(), media + L"All File(*.*)|*.*;|");
    EXPECT_EQ(MediaPlaylistsAllFilter(), media + L"Playlists|*.mpl;|All File(*.*)|*.*;|");
}

TEST(FileFilter, DialogFormMatchesTheSameFiles) {
    EXPECT_EQ(ToFileDialogFilter(SubtitlesAllFilter()),
              QStringLiteral("Subtitles (*.ass *.srt);;All File(*.*) (*)"));
    EXPECT_EQ(ToFileDialogFilter(L"A||B|*.b;|"), QStringLiteral("B (*.b)"));

    const std::wstring stored = MediaPlaylistsAllFilter();
    const QStringList dialog = ToFileDialogFilter(stored).split(QStringLiteral(";;"));
    std::vector<std::wstring> storedParts = CMiscFunc::SplitString(stored, L'|');
    ASSERT_EQ(storedParts.size(), 2 * static_cast<std::size_t>(dialog.size()));

    const QRegularExpression form(QStringLiteral("^(.*) \\(([^()]*)\\)$"));
    for (qsizetype f = 0; f < dialog.size(); ++f) {
        const QRegularExpressionMatch match = form.match(dialog[f]);
        ASSERT_TRUE(match.hasMatch()) << dialog[f].toStdString();
        EXPECT_EQ(match.captured(1).toStdWString(), storedParts[2 * f]);
        const QStringList patterns = match.captured(2).split(QLatin1Char(' '));
        const std::vector<std::wstring> storedPatterns =
            CMiscFunc::SplitString(storedParts[2 * f + 1], L';');
        for (const wchar_t* name : {L"movie.MKV", L"clip.avi", L"song.mp3", L"list.mpl", L"README",
                                    L"x.h264", L"archive.tar.gz", L".hidden"}) {
            bool inStored = false;
            for (const std::wstring& pattern : storedPatterns) {
                inStored = inStored || MatchFilePattern(name, pattern);
            }
            bool inDialog = false;
            for (const QString& pattern : patterns) {
                // The dialog matches names regardless of case, as the file system model does.
                const QRegularExpression wildcard(
                    QRegularExpression::wildcardToRegularExpression(pattern),
                    QRegularExpression::CaseInsensitiveOption);
                inDialog = inDialog || wildcard.match(QString::fromStdWString(name)).hasMatch();
            }
            EXPECT_EQ(inDialog, inStored) << dialog[f].toStdString() << " / " << name;
        }
    }
}
