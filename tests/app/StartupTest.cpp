#include "app/VersionFile.h"
#include "app/startup/AppEvents.h"
#include "app/startup/QorApp.h"
#include "core/AppFolder.h"
#include "core/WideText.h"
#include "engine/MediaEvents.h"
#include "platform/SingleInstance.h"
#include "playlist/PlaylistFile.h"
#include "skin/list/SkinList.h"

#include "EnvGuard.h"
#include "MediaFixture.h"
#include "QtTestSupport.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kNavigationDelayMs = 50;

std::wstring LogPath() {
    return CAppFolder().GetTempFolder() + L"qor.log";
}

std::wstring Clip(const std::string& name) {
    return Utf8ToWide(MakeMedia(
        name, {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
               "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "libx264", "-preset",
               "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"}));
}

// Stands in for the main window: a playlist and a video area; on "AppInitial" it does what the
// real window does (initialise the center on them, restore the default playlist) and notes what
// start-up had done by then.
class CStandInWindow : public QWidget, public CObserver<CStandInWindow> {
public:
    CStandInWindow(CControlCenter& center, ISubject& application)
        : m_center(center), m_application(application) {
        resize(400, 300);
        m_list.Create(this, 0, 150, 400, 150);
        m_video.setParent(this);
        m_video.setGeometry(0, 0, 400, 150);
        application.Subscribe(this, AppEvents::Initial,
                              RegisterHandler(&CStandInWindow::OnAppInitial));
    }

    ~CStandInWindow() override {
        m_application.Unsubscribe(this);
        m_center.Reset();
        m_center.Close();
    }

    CSkinList& List() { return m_list; }

    int initialCount = 0;
    std::string logAtInitial;

private:
    void OnAppInitial(ISubject*, EventArg, EventArg) {
        ++initialCount;
        logAtInitial = ReadFile(PathToBytes(LogPath()));
        m_center.Initialise(&m_video, &m_list, kNavigationDelayMs);
        m_center.LoadDefaultPlaylist();
    }

    CControlCenter& m_center;
    ISubject& m_application;
    CSkinList m_list;
    QWidget m_video;
};

// The user other local users appear as in the tests.
constexpr uid_t kOtherUser = 65534;

// A listener of another local user at path, answering every connection as a running player
// would. The child process binds the socket file, opens it to everyone, and only then turns into
// the other user and listens, so that its peer credentials name that user even in a folder the
// other user could not enter. Needs root (Planted() is false otherwise).
class CForeignListener {
public:
    explicit CForeignListener(const std::string& path) {
        int ready[2];
        if (geteuid() != 0 || pipe(ready) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            // Plain system calls only: the child of a threaded process.
            close(ready[0]);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            unlink(path.c_str());
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                chmod(path.c_str(), 0777) != 0 || syscall(SYS_setgid, kOtherUser) != 0 ||
                syscall(SYS_setuid, kOtherUser) != 0 || listen(fd, 8) != 0 ||
                write(ready[1], "1", 1) != 1) {
                _exit(1);
            }
            for (;;) {
                const int peer = accept(fd, nullptr, nullptr);
                if (peer >= 0) {
                    [[maybe_unused]] const ssize_t written = write(peer, "1", 1);
                    close(peer);
                }
            }
        }
        close(ready[1]);
        char byte = 0;
        m_planted = m_pid > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~CForeignListener() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CForeignListener(const CForeignListener&) = delete;
    CForeignListener& operator=(const CForeignListener&) = delete;

    bool Planted() const { return m_planted; }

private:
    pid_t m_pid = -1;
    bool m_planted = false;
};

class StartupTest : public ::testing::Test, public CTestApplicationUser {
protected:
    StartupTest()
        : m_dataHome("XDG_DATA_HOME", Path("data").toStdString()),
          m_runtime("XDG_RUNTIME_DIR", Path("run").toStdString()),
          m_temp("TMPDIR", Path("tmp").toStdString()) {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + "/config");
        QDir().mkpath(m_dir.path() + "/tmp");
        mkdir((m_dir.path() + "/run").toUtf8().constData(), 0700);
    }

    // A name of this test process's own, so that a player running on the machine is not found.
    static QString InstanceName() {
        return QStringLiteral("StartupTest_%1").arg(QCoreApplication::applicationPid());
    }

    std::wstring Folder() const { return m_dir.path().toStdWString() + L"/"; }
    QString Path(const char* name) const { return m_dir.path() + QLatin1Char('/') + name; }

private:
    QTemporaryDir m_dir;
    CEnvGuard m_dataHome;
    CEnvGuard m_runtime;
    CEnvGuard m_temp;
};

// Where a socket and a lock file in the shared temporary folder would have made every start
// exit or wait: the name of the instance and the user id there.
std::string SharedTempName(const QString& name) {
    return (QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') +
            QString::number(getuid()))
        .toStdString();
}

// Opens a Unix socket at path and closes it without removing its file, as a killed instance
// leaves it: the file is there and refuses connections.
void LeaveStaleSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(address.sun_path));
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ::unlink(path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    close(fd);
    ASSERT_EQ(access(path.c_str(), F_OK), 0);
}

// A later start, as a second process would run it: its waits block, so it runs on a thread of
// its own while the first instance's event loop answers.
struct CLaterStart {
    bool found = false;
    bool tracked = false;
    bool activated = false;
};

CLaterStart StartLater(const QString& name) {
    CLaterStart result;
    QThread* thread = QThread::create([&result, name] {
        CInstanceChecker later;
        result.found = later.IsAnotherInstanceRunning(name);
        result.tracked = later.TrackFirstInstance(name);
        result.activated = later.ActivatePreviousInstance();
    });
    bool finished = false;
    QObject::connect(thread, &QThread::finished, [&finished] { finished = true; });
    thread->start();
    EXPECT_TRUE(PumpUntil([&] { return finished; }));
    thread->wait();
    delete thread;
    return result;
}

TEST_F(StartupTest, StartLogsInOrderRestoresThePlaylistAndPlaysTheExistingArgument) {
    const std::wstring restored = Clip("startup_restored_2s.mp4");
    const std::wstring named = Clip("startup_named_2s.mp4");
    ASSERT_TRUE(WritePlaylistFile(CAppFolder().GetDefaultPlaylist(), {restored}));

    CStandInWindow* window = nullptr;
    CQorApp app(
        [&window](CControlCenter& center, ISubject& application) {
            auto made = std::make_unique<CStandInWindow>(center, application);
            window = made.get();
            return made;
        },
        InstanceName());
    CEventLog playing;
    playing.Watch(app.GetControlCenter(), {MediaEvents::Playing});

    // Another user's listener and lock file in the shared temporary folder, where a start would
    // once have looked, neither stop nor hold up this one.
    const std::string shared = SharedTempName(InstanceName());
    const CForeignListener planted(shared);
    if (geteuid() == 0) {
        ASSERT_TRUE(planted.Planted());
    }
    std::ofstream(shared + ".lock") << "1\nqor\n" << QSysInfo::machineHostName().toStdString();
    if (geteuid() == 0) {
        ASSERT_EQ(chown((shared + ".lock").c_str(), kOtherUser, kOtherUser), 0);
    }

    ASSERT_TRUE(app.InitInstance({Folder() + L"missing.mp4", named}));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(app.GetMainWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->initialCount, 1);

    // The lines under the function's name, in order, and "AppInitial" between them.
    const std::string version = WideToUtf8(ReadProgramVersion());
    const std::string initializing = "CQorApp::InitInstance: QOR(" + version + ") initializing...";
    const std::string initialized = "CQorApp::InitInstance: QOR initialized.";
    const std::string log = ReadFile(PathToBytes(LogPath()));
    ASSERT_NE(log.find(initializing), std::string::npos) << log;
    EXPECT_LT(log.find(initializing), log.find(initialized)) << log;
    EXPECT_NE(window->logAtInitial.find(initializing), std::string::npos);
    EXPECT_EQ(window->logAtInitial.find(initialized), std::string::npos);

    // The restored row first, then the existing argument alone, which plays after the delay.
    CSkinList& list = window->List();
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemData(0)->path, restored);
    EXPECT_EQ(list.GetItemData(1)->path, named);
    ASSERT_TRUE(PumpUntil([&] { return !playing.events.empty(); }));
    EXPECT_EQ(list.GetActiveItem(), 1);
    EXPECT_EQ(playing.events.size(), 1u);

    // A second start of this user finds this one.
    const CLaterStart later = StartLater(InstanceName());
    EXPECT_TRUE(later.found);
    EXPECT_TRUE(later.activated);
}

TEST_F(StartupTest, ALaterStartBringsTheFirstWindowForwardAndNoLeftoverBlocksIt) {
    // What may be found at the socket's name before the first start: a socket file of a killed
    // instance, a listener of another user (which only root could put in the user's folder).
    for (const bool foreign : {false, true}) {
        SCOPED_TRACE(foreign ? "another user's listener" : "a stale socket");
        const QString name = InstanceName() + (foreign ? "_foreign" : "_stale");
        const std::string path = CInstanceChecker::SocketPath(name).toStdString();
        ASSERT_TRUE(path.starts_with(Path("run/").toStdString())) << path;
        std::optional<CForeignListener> planted;
        if (!foreign) {
            LeaveStaleSocket(path);
        } else if (geteuid() == 0) {
            ASSERT_TRUE(planted.emplace(path).Planted());
        } else {
            continue;
        }
        QWidget window;
        window.showMinimized();
        {
            CInstanceChecker first;
            EXPECT_FALSE(first.IsAnotherInstanceRunning(name));
            ASSERT_TRUE(first.TrackFirstInstance(name));

            // No window recorded yet: the later start is told so, and nothing is raised.
            const CLaterStart early = StartLater(name);
            EXPECT_TRUE(early.found);
            EXPECT_FALSE(early.tracked);
            EXPECT_FALSE(early.activated);
            EXPECT_TRUE(window.isMinimized());

            // One that checked before the first listened, and so tries to listen too, finds it.
            CInstanceChecker simultaneous;
            EXPECT_FALSE(simultaneous.TrackFirstInstance(name));
            EXPECT_TRUE(simultaneous.HasPreviousInstance());

            first.SetWindow(&window);
            const CLaterStart later = StartLater(name);
            EXPECT_TRUE(later.found);
            EXPECT_FALSE(later.tracked);
            EXPECT_TRUE(later.activated);
            EXPECT_FALSE(window.isMinimized());
            EXPECT_TRUE(window.isVisible());
        }
        // The first instance gone, the name is free again.
        CInstanceChecker next;
        EXPECT_FALSE(next.IsAnotherInstanceRunning(name));
        EXPECT_TRUE(next.TrackFirstInstance(name));
    }
}

TEST_F(StartupTest, WithoutAFolderOfTheUsersOwnThePlayerRunsUnguarded) {
    // The runtime folder open to others, and in its place in the temporary folder a file.
    ASSERT_EQ(chmod(Path("run").toUtf8().constData(), 0755), 0);
    std::ofstream(Path("tmp/qor-").toStdString() + std::to_string(geteuid())) << "planted";
    const QString name = InstanceName();
    EXPECT_TRUE(CInstanceChecker::SocketPath(name).isEmpty());
    CInstanceChecker first;
    EXPECT_FALSE(first.IsAnotherInstanceRunning(name));
    EXPECT_FALSE(first.TrackFirstInstance(name));
    EXPECT_FALSE(first.HasPreviousInstance());
    EXPECT_TRUE(QDir(Path("run")).isEmpty());
}

} // namespace
