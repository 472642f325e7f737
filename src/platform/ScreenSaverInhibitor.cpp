#include "platform/ScreenSaverInhibitor.h"

#include <optional>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QThread>

#include "platform/PlatformLog.h"
#include "platform/SessionBus.h"

namespace {

constexpr char kService[] = "org.freedesktop.ScreenSaver";
constexpr char kPath[] = "/org/freedesktop/ScreenSaver";
constexpr char kInterface[] = "org.freedesktop.ScreenSaver";
constexpr char kApplication[] = "QOR";
constexpr char kReason[] = "Playing a video";
constexpr char kWhere[] = "CDBusScreenSaverInhibitor";
// A desktop that does not answer within this time is taken as absent, so that the requests
// after it are not held up for long.
constexpr int kCallTimeoutMs = 1000;

class CNullScreenSaverInhibitor : public IScreenSaverInhibitor {
public:
    void Hold(bool hold) override { m_held = hold; }
    bool IsHeld() const override { return m_held; }

private:
    bool m_held = false;
};

// The desktop's side, on a thread of its own: connecting to the session bus and each call may
// block (a missing bus is first looked for, which alone takes a tenth of a second), and none of
// that may hold up the user-interface thread, least of all just before a clip's first picture.
class CDBusScreenSaverInhibitor : public IScreenSaverInhibitor {
public:
    // An empty address means the session bus (SessionBus.h).
    explicit CDBusScreenSaverInhibitor(std::string address) : m_desktop(std::move(address)) {
        m_thread.setObjectName(QStringLiteral("qor-screensaver"));
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    // Lets the screen saver run again and waits until the desktop thread has made every request
    // queued so far, so the last one is not lost when the thread ends.
    ~CDBusScreenSaverInhibitor() override {
        m_held = false;
        QMetaObject::invokeMethod(
            &m_context, [this] { m_desktop.Hold(false); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    void Hold(bool hold) override {
        if (hold == m_held) {
            return;
        }
        m_held = hold;
        // Queued calls run in order on the desktop thread; the desktop object is only used there.
        QMetaObject::invokeMethod(
            &m_context, [this, hold] { m_desktop.Hold(hold); }, Qt::QueuedConnection);
    }
    bool IsHeld() const override { return m_held; }

private:
    // Lives on the desktop thread; every member is used there only.
    class CDesktop {
    public:
        explicit CDesktop(std::string address) : m_address(std::move(address)) {}

        void Hold(bool hold) {
            if (hold) {
                Inhibit();
            } else if (m_cookie) {
                UnInhibit();
            }
        }

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

        // A plain call without introspection, bounded by kCallTimeoutMs; an error is logged.
        QDBusMessage Call(const QString& method, const QList<QVariant>& arguments) {
            const std::string address = m_address.empty() ? SessionBusAddress() : m_address;
            if (address.empty()) {
                Complain(QStringLiteral("no session bus"));
                return {};
            }
            // Connections are shared by name; one per address.
            const QString text = QString::fromStdString(address);
            QDBusConnection bus =
                QDBusConnection::connectToBus(text, QString::fromLatin1(kWhere) + text);
            if (!bus.isConnected()) {
                Complain(bus.lastError().message());
                return {};
            }
            QDBusMessage message =
                QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
            message.setArguments(arguments);
            QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
            if (reply.type() != QDBusMessage::ReplyMessage) {
                Complain(reply.errorMessage());
            }
            return reply;
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
        std::optional<quint32> m_cookie; // the desktop's ticket while it granted the request
        bool m_complained = false;
    };

    bool m_held = false; // user-interface thread
    CDesktop m_desktop;  // desktop thread only, through m_context
    QThread m_thread;
    QObject m_context; // lives on m_thread; the queued calls run in its context
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
