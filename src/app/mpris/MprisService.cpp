#include "app/mpris/MprisService.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusMessage>

#include "app/PlayerControls.h"
#include "app/mpris/MprisPlayer.h"
#include "app/mpris/MprisRoot.h"
#include "core/Log.h"
#include "engine/ClipInfo.h"
#include "engine/MediaEvents.h"
#include "media/CoverArt.h"
#include "platform/SessionBus.h"
#include "playlist/ControlCenter.h"
#include "playlist/PlaylistEvents.h"

namespace {

constexpr char kWhere[] = "CMprisService";
constexpr char kConnectionName[] = "qor-mpris";
constexpr char kNamePrefix[] = "org.mpris.MediaPlayer2.";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

QVariantMap ChangedEntries(const QVariantMap& before, const QVariantMap& now) {
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (before.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    return changed;
}

} // namespace

CMprisService::CMprisService(CControlCenter& center, CPlayerControls& controls, QWidget& window,
                             std::function<void()> quit)
    : m_center(center), m_controls(controls) {
    if (!Connect(center, controls, window, std::move(quit))) {
        return;
    }
    const struct {
        ISubject* subject;
        const wchar_t* name;
        Handler handler;
    } events[] = {
        {&controls, CPlayerControls::kChanged, &CMprisService::OnChanged},
        {&center, MediaEvents::Loaded, &CMprisService::OnTrack},
        {&center, MediaEvents::LoadFailed, &CMprisService::OnTrack},
        {&center.GetPlaylist(), PlaylistEvents::LoopModeChanged, &CMprisService::OnChanged},
        {&center.GetController(), MediaEvents::Seeked, &CMprisService::OnSeeked},
    };
    for (const auto& event : events) {
        event.subject->Subscribe(this, event.name, RegisterHandler(event.handler));
    }
    m_announced = m_player->Properties();
}

CMprisService::~CMprisService() {
    m_controls.Unsubscribe(this);
    m_center.Unsubscribe(this);
    m_center.GetPlaylist().Unsubscribe(this);
    m_center.GetController().Unsubscribe(this);
    if (m_bus.isConnected()) {
        m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
        if (!m_serviceName.isEmpty()) {
            m_bus.unregisterService(m_serviceName);
        }
        QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
    }
}

bool CMprisService::Connect(CControlCenter& center, CPlayerControls& controls, QWidget& window,
                            std::function<void()> quit) {
    const std::string address = SessionBusAddress();
    if (address.empty()) {
        Log({kWhere, LOG_LEVEL_INFO}, "no session bus: media keys and desktop players' widgets "
                                      "cannot reach the player");
        return false;
    }
    m_bus = QDBusConnection::connectToBus(QString::fromStdString(address),
                                          QString::fromLatin1(kConnectionName));
    if (!m_bus.isConnected()) {
        Log({kWhere, LOG_LEVEL_INFO}, "no session bus at %s: %s", address.c_str(),
            m_bus.lastError().message().toUtf8().constData());
        QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
        return false;
    }
    new CMprisRoot(&m_exported, window, std::move(quit));
    m_player = new CMprisPlayer(&m_exported, center, controls);
    if (!m_bus.registerObject(QString::fromLatin1(kObjectPath), &m_exported,
                              QDBusConnection::ExportAdaptors)) {
        Log({kWhere, LOG_LEVEL_INFO}, "cannot offer %s on the session bus", kObjectPath);
        return false;
    }
    // The protocol's name for a second player of the same program: the process id appended.
    const QString name = QString::fromLatin1(kNamePrefix) + QCoreApplication::applicationName();
    const QString own = name + QStringLiteral(".instance") + QString::number(getpid());
    for (const QString& candidate : {name, own}) {
        if (m_bus.registerService(candidate)) {
            m_serviceName = candidate;
            Log({kWhere, LOG_LEVEL_INFO}, "on the session bus as %s",
                candidate.toUtf8().constData());
            return true;
        }
    }
    Log({kWhere, LOG_LEVEL_INFO}, "cannot own %s on the session bus: %s", name.toUtf8().constData(),
        m_bus.lastError().message().toUtf8().constData());
    m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return false;
}

void CMprisService::Announce() {
    const QVariantMap now = m_player->Properties();
    const QVariantMap changed = ChangedEntries(m_announced, now);
    m_announced = now;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    m_bus.send(signal);
}

void CMprisService::OnChanged(ISubject*, EventArg, EventArg) {
    Announce();
}

void CMprisService::OnTrack(ISubject*, EventArg record, EventArg) {
    const auto* clip = reinterpret_cast<const CClipInfo*>(record);
    if (clip == nullptr || clip->loadFailed != 0) {
        m_cover.Replace(nullptr, 0);
        m_player->SetTrack(nullptr, 0, QString());
    } else {
        CCoverArt art;
        const bool hasArt = m_center.GetController().GetEngine().GetCoverArt(art);
        ++m_loads;
        m_player->SetTrack(clip, m_loads, m_cover.Replace(hasArt ? &art : nullptr, m_loads));
    }
    Announce();
}

void CMprisService::OnSeeked(ISubject*, EventArg, EventArg) {
    Q_EMIT m_player->Seeked(m_player->Position());
}
