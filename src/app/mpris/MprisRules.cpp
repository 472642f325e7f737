#include "app/mpris/MprisRules.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QUrl>

#include "core/SystemFolders.h"
#include "core/WideText.h"
#include "playlist/FileDrop.h"
#include "playlist/LoopMode.h"

namespace {

constexpr char kNone[] = "None";
constexpr char kTrack[] = "Track";
constexpr char kPlaylist[] = "Playlist";

} // namespace

CMprisLoop MprisLoopOf(const std::wstring& modeName) {
    if (modeName == LoopModeNames::SingleFileLoop) {
        return {kTrack, false};
    }
    if (modeName == LoopModeNames::PlaylistLoop) {
        return {kPlaylist, false};
    }
    if (modeName == LoopModeNames::PlaylistShuffle) {
        return {kPlaylist, true};
    }
    return {kNone, false};
}

std::optional<std::wstring> LoopModeForLoopStatus(const std::wstring& current,
                                                  const QString& status) {
    if (status == QLatin1String(MprisLoopOf(current).loopStatus)) {
        return current;
    }
    if (status == QLatin1String(kNone)) {
        return LoopModeNames::PlaylistOnce;
    }
    if (status == QLatin1String(kTrack)) {
        return LoopModeNames::SingleFileLoop;
    }
    if (status == QLatin1String(kPlaylist)) {
        return LoopModeNames::PlaylistLoop;
    }
    return std::nullopt;
}

std::wstring LoopModeForShuffle(const std::wstring& current, bool shuffle) {
    if (shuffle) {
        return LoopModeNames::PlaylistShuffle;
    }
    return current == LoopModeNames::PlaylistShuffle ? LoopModeNames::PlaylistLoop : current;
}

const char* MprisPlaybackStatus(EPlayState state) {
    switch (state) {
    case EPlayState::Playing:
        return "Playing";
    case EPlayState::Paused:
        return "Paused";
    case EPlayState::Stopped:
        break;
    }
    return "Stopped";
}

std::int64_t MprisMicroseconds(double seconds) {
    // Beyond this a double's microseconds would not fit the 64-bit count.
    constexpr double kLongest = 9.0e12;
    if (!std::isfinite(seconds) || seconds <= 0) {
        return 0;
    }
    return static_cast<std::int64_t>(std::llround(std::min(seconds, kLongest) * 1e6));
}

CMprisAbilities MprisAbilities(const CMprisAbilityInputs& inputs) {
    const bool rows = inputs.rows > 0;
    return {
        .canGoNext = rows && inputs.hasNext,
        .canGoPrevious = rows && inputs.hasPrevious,
        .canPlay = rows || inputs.loaded,
        .canPause = inputs.loaded,
        .canSeek = inputs.loaded && inputs.seekable,
        .canControl = true,
    };
}

double MprisVolume(int volume) {
    return std::clamp(volume, 0, 100) / 100.0;
}

std::optional<int> VolumeFromMpris(double volume) {
    if (std::isnan(volume)) {
        return std::nullopt;
    }
    return static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100));
}

CMprisSeek MprisSeekTarget(std::int64_t position, std::int64_t offset, std::int64_t length) {
    std::int64_t target = 0;
    if (__builtin_add_overflow(position, offset, &target)) {
        target = offset > 0 ? std::numeric_limits<std::int64_t>::max() : 0;
    }
    if (target > length) {
        return {true, 0};
    }
    return {false, std::max<std::int64_t>(target, 0)};
}

QString MprisFileUrl(const std::string& pathBytes) {
    // QByteArray's own encoding: QUrl's takes text and would decode the bytes first.
    const QByteArray bytes(pathBytes.data(), static_cast<qsizetype>(pathBytes.size()));
    return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

std::optional<std::wstring> MprisLocalPath(const QString& uri) {
    std::wstring path;
    if (uri.startsWith(QLatin1Char('/'))) {
        path = PathFromBytes(uri.toStdString());
    } else {
        const QUrl url(uri, QUrl::StrictMode);
        const QString host = url.host();
        if (!url.isValid() || url.scheme() != QLatin1String("file") ||
            (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive))) {
            return std::nullopt;
        }
        const std::vector<std::wstring> paths = LocalPaths({url});
        if (paths.empty()) {
            return std::nullopt;
        }
        path = paths.front();
    }
    if (path.find(L'\0') != std::wstring::npos) {
        return std::nullopt;
    }
    return AbsolutePath(path);
}
