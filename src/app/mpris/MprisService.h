#pragma once
// The player on the session bus as a media player (MPRIS): org.mpris.MediaPlayer2 (MprisRoot.h)
// and org.mpris.MediaPlayer2.Player (MprisPlayer.h) at /org/mpris/MediaPlayer2, under the name
// org.mpris.MediaPlayer2.<program name> (a per-process name when that is taken). After every event
// of the player that may change what a client sees (the control state, a clip loaded or failed,
// the loop mode) the Player properties are compared with those announced last, and the changed
// ones go out in one PropertiesChanged; a seek the user asked for, from anywhere, sends Seeked.
//
// The bus is the session bus as platform/SessionBus.h finds it, never one started for the
// player. Without one, or when it refuses the connection or the object, one log line says so and
// nothing else changes.
//
// Threads: made, used and destroyed on the user-interface thread, where Qt D-Bus delivers the
// calls. Ownership: the center, the controls and the window are borrowed and must outlive the
// service; quit is called from the event loop.
#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include "app/mpris/MprisCoverFile.h"
#include "core/EventBus.h"

class CControlCenter;
class CMprisPlayer;
class CPlayerControls;
class QWidget;

class CMprisService : public CObserver<CMprisService> {
public:
    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

    CMprisService(CControlCenter& center, CPlayerControls& controls, QWidget& window,
                  std::function<void()> quit);
    ~CMprisService() override;
    CMprisService(const CMprisService&) = delete;
    CMprisService& operator=(const CMprisService&) = delete;

private:
    bool Connect(CControlCenter& center, CPlayerControls& controls, QWidget& window,
                 std::function<void()> quit);
    void Announce();

    // The control state or the loop mode changed.
    void OnChanged(ISubject* sender, EventArg arg1, EventArg arg2);
    // A clip loaded or failed to (record: its item): the track changes.
    void OnTrack(ISubject* sender, EventArg record, EventArg unused);
    void OnSeeked(ISubject* sender, EventArg arg1, EventArg arg2);

    CControlCenter& m_center;
    CPlayerControls& m_controls;
    QDBusConnection m_bus{QString()};
    QObject m_exported;               // carries the two interfaces
    CMprisPlayer* m_player = nullptr; // a child of m_exported
    QVariantMap m_announced;          // the Player properties as last announced
    unsigned m_loads = 0;             // numbers the tracks
    CMprisCoverFile m_cover;
    QString m_serviceName; // the bus name owned; empty while none
};
