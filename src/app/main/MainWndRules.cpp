#include "app/main/MainWndRules.h"

#include <algorithm>

#include "engine/EngineEvents.h"

QRect DefaultWindowRect(QSize screen) {
    const int cx = screen.width();
    const int cy = screen.height();
    return {(cx - cx / 2) / 2, (cy - cy / 2) / 2, cx / 2, cy / 2};
}

QSize MinTrackSize(QSize screen) {
    const QRect rect = DefaultWindowRect(screen);
    return {rect.width() / 2, rect.height() / 2};
}

CPlaylistLayout PlaylistLayout(int playlistWidth) {
    const int p = playlistWidth;
    return {
        .screen = {5, 25, -(p + kSplitterWidth), -40},
        .splitter = {-(p + kSplitterWidth), 25, -p, -40},
        .playlist = {-p, 45, -5, -41},
        .openPlaylist = {-p, 25, 20, 20},
    };
}

CSplitterRelease ReleaseSplitter(QSize client, int screenWidth, int position, int pressX,
                                 bool ctrlHeld, int storedWidth, bool boxChecked) {
    CSplitterRelease release;
    if (ctrlHeld) {
        release.resizeClient =
            QSize(client.width() + (position - screenWidth - kSplitterWidth), client.height());
        release.boxChecked = boxChecked;
        release.storedWidth = storedWidth;
        return release;
    }
    release.layoutWidth = client.width() - position - pressX;
    // Decided by where the pointer let go: the grab offset is 0 on the bar's leftmost pixel too.
    release.boxChecked =
        position <= kSplitterMinimum || position >= client.width() - kSplitterWidth / 2;
    release.storedWidth = release.boxChecked ? kDefaultPlaylistWidth : release.layoutWidth;
    return release;
}

CWheelNotches AccumulateWheel(int remainder, int wheelDelta) {
    const int total = remainder + wheelDelta;
    return {total / kWheelNotch, total % kWheelNotch};
}

int WheelVolume(int volume, int notches, int minimum, int maximum) {
    return std::clamp(volume + notches * kWheelVolumeStep, minimum, std::max(minimum, maximum));
}

std::optional<QSize> FitWindowSize(QSize window, QSize screenClient, QSize video) {
    if (video.width() == 0 || video.height() == 0) {
        return std::nullopt;
    }
    return QSize(window.width() + video.width() - screenClient.width(),
                 window.height() + video.height() - screenClient.height());
}

CFullScreenLayout FullScreenLayout(QSize client, bool playlistShown, int playlistWidth) {
    if (!playlistShown) {
        return {QRect(QPoint(0, 0), client), QRect()};
    }
    const int width = std::min(std::max(playlistWidth, kDefaultPlaylistWidth), client.width() / 2);
    const int split = client.width() - width;
    return {QRect(0, 0, split, client.height()), QRect(split, 0, width, client.height())};
}

bool WindowSystemPlacesWindows(std::string_view platformName) {
    return platformName.starts_with("wayland");
}

EToolbarChange ToolbarOnPointer(int pointerY, int screenHeight, bool toolbarShown) {
    const int bottom = screenHeight - 1;
    if (bottom - pointerY > 1) {
        const bool aboveBand = pointerY < screenHeight - kToolbarBand;
        return aboveBand && toolbarShown ? EToolbarChange::Destroy : EToolbarChange::None;
    }
    return toolbarShown ? EToolbarChange::None : EToolbarChange::Create;
}

ECursorChange CursorOnTimer(bool fullScreen, bool overlayOpen, std::int64_t quietMs,
                            bool toolbarShown) {
    if (!fullScreen) {
        return ECursorChange::None;
    }
    if (overlayOpen) {
        return ECursorChange::Show;
    }
    if (quietMs <= kCursorQuietMs) {
        return ECursorChange::None;
    }
    return toolbarShown ? ECursorChange::Show : ECursorChange::Hide;
}

bool ScreenSaverHeld(const std::wstring& engineState, bool hasVideo, bool hasAudio) {
    const bool running =
        engineState == EngineEvents::Playing || engineState == EngineEvents::Paused;
    return running && (hasVideo || !hasAudio);
}
