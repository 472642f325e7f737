#include "app/VersionFile.h"
#include "app/startup/AppEvents.h"
#include "app/startup/QorApp.h"
#include "core/AppFolder.h"
#include "core/WideText.h"
#include "engine/MediaEvents.h"
#include "platform/SingleInstance.h"
#include "playlist/PlaylistFile.h"
#include "skin/list/SkinList.h"

#include "MediaFixture.h"
#include "QtTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kNavigationDelayMs = 50;

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(PathToBytes(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
        logAtInitial = ReadFile(LogPath());
        m_center.Initialise(&m_video, &m_list, kNavigationDelayMs);
        m_center.LoadDefaultPlaylist();
    }

    CControlCenter& m_center;
    ISubject& m_application;
    CSkinList m_list;
    QWidget m_video;
};

class StartupTest : public ::testing::Test, public CTestApplicationUser {
protected:
    StartupTest() {
        setenv("XDG_DATA_HOME", (m_dir.path() + "/data").toUtf8().constData(), 1);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + "/config");
    }

    // A name of this test process's own, so that a player running on the machine is not found.
    static QString InstanceName() {
        return QStringLiteral("StartupTest_%1").arg(QCoreApplication::applicationPid());
    }

    std::wstring Folder() const { return m_dir.path().toStdWString() + L"/"; }

private:
    QTemporaryDir m_dir;
};

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

    ASSERT_TRUE(app.InitInstance({Folder() + L"missing.mp4", named}));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(app.GetMainWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->initialCount, 1);

    // The lines under the function's name, in order, and "AppInitial" between them.
    const std::string version = WideToUtf8(ReadProgramVersion());
    const std::string initializing = "CQorApp::InitInstance: QOR(" + version + ") initializing...";
    const std::string initialized = "CQorApp::InitInstance: QOR initialized.";
    const std::string log = ReadFile(LogPath());
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
}

// Opens a Unix socket under the checker's name and closes it without removing its file, as a
// killed instance leaves it: the file is there and refuses connections.
void LeaveStaleSocket(const QString& name) {
    const std::string path =
        (QDir::tempPath() + QLatin1Char('/') + CInstanceChecker::SocketName(name)).toStdString();
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

TEST_F(StartupTest, ALaterStartBringsTheFirstWindowForwardAndALeftoverSocketBlocksNothing) {
    const QString name = InstanceName() + QStringLiteral("_checker");
    LeaveStaleSocket(name);
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

} // namespace
