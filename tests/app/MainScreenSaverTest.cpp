// The screen-saver service against a D-Bus daemon of the test's own: a fake desktop that grants
// and takes back inhibitions, and a bus where nobody answers.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QMutex>
#include <QProcess>
#include <QThread>

#include "QtTestSupport.h"
#include "platform/PlatformLog.h"
#include "platform/ScreenSaverInhibitor.h"

namespace {

using namespace std::chrono_literals;

constexpr quint32 kCookie = 42;

// The desktop's side, answering on a thread of its own (the service's calls block the caller).
class CFakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList Calls() const {
        QMutexLocker lock(&m_lock);
        return m_calls;
    }

public Q_SLOTS:
    quint32 Inhibit(const QString& application, const QString& reason) {
        QMutexLocker lock(&m_lock);
        m_calls << QStringLiteral("Inhibit %1: %2").arg(application, reason);
        return kCookie;
    }
    void UnInhibit(quint32 cookie) {
        QMutexLocker lock(&m_lock);
        m_calls << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    mutable QMutex m_lock;
    QStringList m_calls;
};

// A session bus daemon for one test; its address is empty when it did not start.
struct CPrivateBus {
    CPrivateBus() {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000)) {
            address = QString::fromUtf8(daemon.readLine()).trimmed();
        }
    }
    ~CPrivateBus() {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};

// Collects the platform log's lines for the life of the object.
struct CLogLines {
    CLogLines() {
        SetPlatformLog([this](int, const std::string& where, const std::string& text) {
            QMutexLocker lock(&mutex);
            lines.push_back(where + ": " + text);
        });
    }
    ~CLogLines() { SetPlatformLog({}); }
    std::vector<std::string> Lines() {
        QMutexLocker lock(&mutex);
        return lines;
    }
    QMutex mutex;
    std::vector<std::string> lines;
};

} // namespace

TEST(MainScreenSaver, HeldAndReleasedThroughTheDesktop) {
    EnsureTestApplication();
    CPrivateBus bus;
    if (bus.address.isEmpty()) {
        GTEST_SKIP() << "dbus-daemon did not start";
    }
    QThread desktopThread;
    desktopThread.start();
    auto* desktop = new CFakeScreenSaver;
    desktop->moveToThread(&desktopThread);
    QDBusConnection desktopBus = QDBusConnection::connectToBus(bus.address, "fake desktop");
    ASSERT_TRUE(desktopBus.registerObject("/org/freedesktop/ScreenSaver", desktop,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(desktopBus.registerService("org.freedesktop.ScreenSaver"));

    {
        std::unique_ptr<IScreenSaverInhibitor> inhibitor =
            CreateScreenSaverInhibitorOnBus(bus.address.toStdString());
        inhibitor->Hold(true);
        inhibitor->Hold(true); // already held: no second request
        EXPECT_TRUE(inhibitor->IsHeld());
        inhibitor->Hold(false);
        EXPECT_FALSE(inhibitor->IsHeld());
        inhibitor->Hold(true);
    } // going while held lets the screen saver run again
    EXPECT_EQ(desktop->Calls(), (QStringList{"Inhibit QOR: Playing a video", "UnInhibit 42",
                                             "Inhibit QOR: Playing a video", "UnInhibit 42"}));

    desktopBus.unregisterService("org.freedesktop.ScreenSaver");
    QDBusConnection::disconnectFromBus("fake desktop");
    QMetaObject::invokeMethod(desktop, &QObject::deleteLater);
    desktopThread.quit();
    desktopThread.wait();
}

TEST(MainScreenSaverTimed, MissingServiceOrBusIsLoggedOnceAndIgnored) {
    EnsureTestApplication();
    CPrivateBus bus;
    if (bus.address.isEmpty()) {
        GTEST_SKIP() << "dbus-daemon did not start";
    }
    for (const QString& address : {bus.address, QStringLiteral("unix:path=/nonexistent/bus")}) {
        SCOPED_TRACE(address.toStdString());
        CLogLines log;
        const auto started = std::chrono::steady_clock::now();
        {
            std::unique_ptr<IScreenSaverInhibitor> inhibitor =
                CreateScreenSaverInhibitorOnBus(address.toStdString());
            for (int i = 0; i < 3; ++i) {
                inhibitor->Hold(true);
                EXPECT_TRUE(inhibitor->IsHeld());
                inhibitor->Hold(false);
            }
            inhibitor->Hold(true);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
        const std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("screen saver cannot be held off"), std::string::npos) << lines[0];
    }
}

#include "MainScreenSaverTest.moc"
