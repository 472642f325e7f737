#include "platform/ScreenSaverInhibitor.h"

#include <optional>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "platform/PlatformLog.h"

namespace {

constexpr char kService[] = "org.freedesktop.ScreenSaver";
constexpr char kPath[] = "/org/freedesktop/ScreenSaver";
constexpr char kInterface[] = "org.freedesktop.ScreenSaver";
constexpr char kApplication[] = "QOR";
constexpr char kReason[] = "Playing a video";
constexpr char kWhere[] = "CDBusScreenSaverInhibitor";
// A desktop that does not answer within this time is taken as absent: the call blocks the
// user-interface thread, and a second of frozen window is already too long.
constexpr int kCallTimeoutMs = 1000;

class CNullScreenSaverInhibitor : public IScreenSaverInhibitor {
public:
    void Hold(bool hold) override { m_held = hold; }
    bool IsHeld() const override { return m_held; }

private:
    bool m_held = false;
};

class CDBusScreenSaverInhibitor : public IScreenSaverInhibitor {
public:
    // An empty address means the session bus.
    explicit CDBusScreenSaverInhibitor(std::string address) : m_address(std::move(address)) {}
    ~CDBusScreenSaverInhibitor() override { Hold(false); }

    void Hold(bool hold) override {
        if (hold == m_held) {
            return;
        }
        m_held = hold;
        if (hold) {
            Inhibit();
        } else if (m_cookie) {
            UnInhibit();
        }
    }
    bool IsHeld() const override { return m_held; }

private:
    void Inhibit() {
        const QDBusMessage reply =
            Call(QStringLiteral("Inhibit"),
                 {QString::fromLatin1(kApplication), QString::fromLatin1(kReason)});
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            m_cookie = reply.arguments().constFirst().toUInt();
        }
    }

    void UnInhibit() {
        Call(QStringLiteral("UnInhibit"), {QVariant::fromValue(*m_cookie)});
        m_cookie.reset();
    }

    // A plain call without introspection, bounded by kCallTimeoutMs; an error reply is logged.
    QDBusMessage Call(const QString& method, const QList<QVariant>& arguments) {
        QDBusConnection bus = Bus();
        if (!bus.isConnected()) {
            Complain(bus.lastError().message());
            return {};
        }
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        message.setArguments(arguments);
        QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            Complain(reply.errorMessage());
        }
        return reply;
    }

    QDBusConnection Bus() const {
        if (m_address.empty()) {
            return QDBusConnection::sessionBus();
        }
        // Connections are shared by name; one per address.
        const QString address = QString::fromStdString(m_address);
        return QDBusConnection::connectToBus(address, QString::fromLatin1(kWhere) + address);
    }

    // Sessions without the service are common (a bare X server, a test run); say it once.
    void Complain(const QString& error) {
        if (m_complained) {
            return;
        }
        m_complained = true;
        PlatformLog(PLATFORM_LOG_INFO, kWhere,
                    "screen saver cannot be held off: " + error.toStdString());
    }

    const std::string m_address;
    bool m_held = false;
    std::optional<quint32> m_cookie; // the desktop's ticket while it granted the request
    bool m_complained = false;
};

} // namespace

std::unique_ptr<IScreenSaverInhibitor> CreateSystemScreenSaverInhibitor() {
    return std::make_unique<CDBusScreenSaverInhibitor>(std::string());
}

std::unique_ptr<IScreenSaverInhibitor> CreateScreenSaverInhibitorOnBus(const std::string& address) {
    return std::make_unique<CDBusScreenSaverInhibitor>(address);
}

std::unique_ptr<IScreenSaverInhibitor> CreateNullScreenSaverInhibitor() {
    return std::make_unique<CNullScreenSaverInhibitor>();
}
