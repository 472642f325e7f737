#pragma once
// org.mpris.MediaPlayer2.Player: the player's transport, position, volume, loop mode and the clip
// loaded last, for media keys, sound applets and playerctl. Commands go where the main window
// sends its own: Play/Pause/PlayPause to the center's Play (which plays, pauses or resumes), Stop
// to its Reset, Next and Previous to its navigation (the row loads after the navigation delay),
// Seek and SetPosition to the controller's seek, Volume to its volume, LoopStatus and Shuffle to
// the playlist's loop mode (MprisRules.h). OpenUri appends a local file and plays it, as a later
// start's file does; other URIs are refused with a log line. Rate is fixed at 1.
//
// Properties() gives every property a change of which is announced (all but Position);
// CMprisService compares them with those it announced last.
//
// A client's bad argument (a track id that is not the current clip's, a position outside it, an
// unknown LoopStatus, a volume that is not a number) is logged and changes nothing.
//
// Threads: user-interface thread only (Qt D-Bus delivers calls and property access there).
// Ownership: a child of the object it is exported on; the center and the controls are borrowed
// and outlive it.
#include <cstdint>

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

#include "app/mpris/MprisRules.h"

class CClipInfo;
class CControlCenter;
class CPlayerControls;

// The clip the player loaded last, as MPRIS shows it.
struct CMprisTrack {
    QDBusObjectPath id;
    QString title;
    QString url;
    std::int64_t length = 0; // microseconds
    QString artUrl;          // empty when the file carries no picture
};

class CMprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

public:
    CMprisPlayer(QObject* exported, CControlCenter& center, const CPlayerControls& controls);

    // The clip just loaded, numbered for its track id (a number never used before), with the URL
    // of its cover picture (may be empty); or none after a failed load.
    void SetTrack(const CClipInfo* clip, unsigned number, QString artUrl);
    QVariantMap Properties() const;
    // The position now, for Seeked.
    qlonglong Position() const;

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void SetLoopStatus(const QString& status);
    double Rate() const { return 1.0; }
    // 0 pauses, as the protocol asks; any other rate is ignored.
    void SetRate(double rate);
    bool Shuffle() const;
    void SetShuffle(bool shuffle);
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);
    bool CanGoNext() const { return Abilities().canGoNext; }
    bool CanGoPrevious() const { return Abilities().canGoPrevious; }
    bool CanPlay() const { return Abilities().canPlay; }
    bool CanPause() const { return Abilities().canPause; }
    bool CanSeek() const { return Abilities().canSeek; }
    bool CanControl() const { return Abilities().canControl; }

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    CMprisAbilities Abilities() const;
    std::wstring LoopModeName() const;
    void SelectLoopMode(const std::wstring& name);

    CControlCenter& m_center;
    const CPlayerControls& m_controls;
    CMprisTrack m_track;
};
