#include "app/mpris/MprisPlayer.h"

#include "app/PlayerControls.h"
#include "core/Log.h"
#include "core/WideText.h"
#include "engine/ClipInfo.h"
#include "playlist/ControlCenter.h"

namespace {

// The protocol's "no track" id.
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr char kTrackPrefix[] = "/org/qor/track/";

// A client's text for the log: one line, bounded.
std::string Printable(const QString& text) {
    constexpr qsizetype kLongest = 256;
    QString line = text.left(kLongest);
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char('?');
        }
    }
    return line.toStdString();
}

} // namespace

CMprisPlayer::CMprisPlayer(QObject* exported, CControlCenter& center,
                           const CPlayerControls& controls)
    : QDBusAbstractAdaptor(exported), m_center(center), m_controls(controls) {
    m_track.id = QDBusObjectPath(QString::fromLatin1(kNoTrack));
}

void CMprisPlayer::SetTrack(const CClipInfo* clip, unsigned number, QString artUrl) {
    m_track = {};
    if (clip == nullptr) {
        m_track.id = QDBusObjectPath(QString::fromLatin1(kNoTrack));
        return;
    }
    m_track.id = QDBusObjectPath(QString::fromLatin1(kTrackPrefix) + QString::number(number));
    m_track.title = QString::fromStdWString(clip->DisplayName());
    m_track.url = MprisFileUrl(PathToBytes(clip->path));
    m_track.length = MprisMicroseconds(clip->duration);
    m_track.artUrl = std::move(artUrl);
}

QVariantMap CMprisPlayer::Properties() const {
    const CMprisAbilities abilities = Abilities();
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("LoopStatus"), LoopStatus()},
        {QStringLiteral("Rate"), Rate()},
        {QStringLiteral("Shuffle"), Shuffle()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("MinimumRate"), Rate()},
        {QStringLiteral("MaximumRate"), Rate()},
        {QStringLiteral("CanGoNext"), abilities.canGoNext},
        {QStringLiteral("CanGoPrevious"), abilities.canGoPrevious},
        {QStringLiteral("CanPlay"), abilities.canPlay},
        {QStringLiteral("CanPause"), abilities.canPause},
        {QStringLiteral("CanSeek"), abilities.canSeek},
        {QStringLiteral("CanControl"), abilities.canControl},
    };
}

qlonglong CMprisPlayer::Position() const {
    return MprisMicroseconds(m_center.GetController().GetPosition());
}

QString CMprisPlayer::PlaybackStatus() const {
    return QString::fromLatin1(MprisPlaybackStatus(m_controls.State().PlayState()));
}

std::wstring CMprisPlayer::LoopModeName() const {
    const ILoopMode* mode = m_center.GetPlaylist().GetLoopMode();
    return mode != nullptr ? mode->GetName() : std::wstring();
}

void CMprisPlayer::SelectLoopMode(const std::wstring& name) {
    if (name != LoopModeName()) {
        m_center.GetPlaylist().SetLoopMode(name);
    }
}

QString CMprisPlayer::LoopStatus() const {
    return QString::fromLatin1(MprisLoopOf(LoopModeName()).loopStatus);
}

void CMprisPlayer::SetLoopStatus(const QString& status) {
    const std::optional<std::wstring> mode = LoopModeForLoopStatus(LoopModeName(), status);
    if (!mode) {
        Log({"CMprisPlayer::SetLoopStatus", LOG_LEVEL_INFO}, "no such loop status: \"%s\"",
            Printable(status).c_str());
        return;
    }
    SelectLoopMode(*mode);
}

void CMprisPlayer::SetRate(double rate) {
    if (rate == 0.0) {
        Pause();
    }
}

bool CMprisPlayer::Shuffle() const {
    return MprisLoopOf(LoopModeName()).shuffle;
}

void CMprisPlayer::SetShuffle(bool shuffle) {
    SelectLoopMode(LoopModeForShuffle(LoopModeName(), shuffle));
}

QVariantMap CMprisPlayer::Metadata() const {
    QVariantMap metadata{{QStringLiteral("mpris:trackid"), QVariant::fromValue(m_track.id)}};
    if (m_track.url.isEmpty()) {
        return metadata;
    }
    metadata.insert(QStringLiteral("xesam:title"), m_track.title);
    metadata.insert(QStringLiteral("xesam:url"), m_track.url);
    metadata.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(m_track.length));
    if (!m_track.artUrl.isEmpty()) {
        metadata.insert(QStringLiteral("mpris:artUrl"), m_track.artUrl);
    }
    return metadata;
}

double CMprisPlayer::Volume() const {
    return MprisVolume(m_controls.State().Volume());
}

void CMprisPlayer::SetVolume(double volume) {
    const std::optional<int> level = VolumeFromMpris(volume);
    if (!level) {
        Log({"CMprisPlayer::SetVolume", LOG_LEVEL_INFO}, "volume is not a number");
        return;
    }
    m_center.GetController().SetVolume(*level);
}

CMprisAbilities CMprisPlayer::Abilities() const {
    CPlaylistOperator& playlist = m_center.GetPlaylist();
    const ILoopMode* mode = playlist.GetLoopMode();
    // The mode's own answers, without the operator's preparation, which would pick a row.
    const int rows = playlist.GetItemCount();
    const CMprisAbilityInputs inputs{
        .rows = rows,
        .hasNext = mode != nullptr && rows > 0 && mode->HasNext(playlist),
        .hasPrevious = mode != nullptr && rows > 0 && mode->HasPrevious(playlist),
        .loaded = m_center.GetController().IsLoaded() != 0,
        .seekable = m_controls.State().IsSeekable(),
    };
    return MprisAbilities(inputs);
}

void CMprisPlayer::Next() {
    m_center.Next();
}

void CMprisPlayer::Previous() {
    m_center.Previous();
}

void CMprisPlayer::Pause() {
    if (m_controls.State().PlayState() == EPlayState::Playing) {
        m_center.Play();
    }
}

void CMprisPlayer::PlayPause() {
    m_center.Play();
}

void CMprisPlayer::Stop() {
    m_center.Reset();
}

void CMprisPlayer::Play() {
    if (m_controls.State().PlayState() != EPlayState::Playing) {
        m_center.Play();
    }
}

void CMprisPlayer::Seek(qlonglong offset) {
    if (!CanSeek()) {
        return;
    }
    const CMprisSeek seek = MprisSeekTarget(Position(), offset, m_track.length);
    if (seek.next) {
        m_center.Next();
        return;
    }
    m_center.GetController().SetPosition(static_cast<double>(seek.target) / 1e6);
}

void CMprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    if (trackId != m_track.id || position < 0 || position > m_track.length || !CanSeek()) {
        Log({"CMprisPlayer::SetPosition", LOG_LEVEL_INFO},
            "ignored: %lld us of %s, not within the current clip", position,
            Printable(trackId.path()).c_str());
        return;
    }
    m_center.GetController().SetPosition(static_cast<double>(position) / 1e6);
}

void CMprisPlayer::OpenUri(const QString& uri) {
    const std::optional<std::wstring> path = MprisLocalPath(uri);
    if (!path) {
        // Nothing is fetched on a client's word: the bus is the user's, the network is not.
        Log({"CMprisPlayer::OpenUri", LOG_LEVEL_INFO}, "refused, not a local file: \"%s\"",
            Printable(uri).c_str());
        return;
    }
    m_center.OpenFromLaterStart({*path});
}
