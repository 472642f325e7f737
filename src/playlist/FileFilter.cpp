#include "playlist/FileFilter.h"

#include "core/MiscFunc.h"
#include "core/WideText.h"

#include <QStringList>

namespace {

constexpr wchar_t kAllFilesLabel[] = L"All File(*.*)";

std::wstring AllFilesPair() {
    return BuildFilter(kAllFilesLabel, kAllExtensions);
}

} // namespace

std::wstring BuildFilter(const std::wstring& label, const std::string& extensions) {
    std::wstring filter = label + L"|";
    for (const std::string& extension : CMiscFunc::SplitString(extensions, ' ')) {
        filter += extension == kAllExtensions ? L"*.*;" : L"*." + Utf8ToWide(extension) + L";";
    }
    return filter + L"|";
}

std::wstring MediaFilter() {
    const std::string all = std::string(kVideoExtensions) + " " + kAudioExtensions;
    return BuildFilter(L"All Media", all) + BuildFilter(L"All Video", kVideoExtensions) +
           BuildFilter(L"All Audio", kAudioExtensions);
}

std::wstring MediaAllFilter() {
    return MediaFilter() + AllFilesPair();
}

std::wstring MediaPlaylistsAllFilter() {
    return MediaFilter() + PlaylistsFilter() + AllFilesPair();
}

std::wstring PlaylistsFilter() {
    return BuildFilter(L"Playlists", kPlaylistExtensions);
}

std::wstring SubtitlesAllFilter() {
    return BuildFilter(L"Subtitles", kSubtitleExtensions) + AllFilesPair();
}

QString ToFileDialogFilter(const std::wstring& filter) {
    const QStringList parts = QString::fromStdWString(filter).split(QLatin1Char('|'));
    QStringList filters;
    // parts holds label, pattern, label, pattern ..., and the empty rest after the last '|'.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (patterns.isEmpty()) {
            continue;
        }
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
