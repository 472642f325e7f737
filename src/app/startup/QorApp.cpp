#include "app/startup/QorApp.h"

#include "app/VersionFile.h"
#include "app/crash/CrashReport.h"
#include "app/startup/AppEvents.h"
#include "core/AppFolder.h"
#include "core/Log.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"
#include "playlist/PlaylistRandom.h"
#include "playlist/Preferences.h"

#include <QGuiApplication>
#include <QIcon>
#include <QWidget>
#include <ctime>
#include <stdexcept>

namespace {

constexpr char kLogFileName[] = "qor.log";
// Names the desktop knows the program by: the preferences file (with kPreferencesKey), the
// desktop file and the icon theme entry.
constexpr char kApplicationName[] = "qor";
constexpr char kDisplayName[] = "Zelia Media Player";

void OpenLog(const CAppFolder& folders) {
    const std::string path = PathToBytes(folders.GetTempFolder()) + kLogFileName;
    try {
        CLog::Instance().OpenLogFile(path);
    } catch (const std::runtime_error& error) {
        // The player runs as well without its log file; the lines still reach standard output.
        Log({"CQorApp::InitInstance", LOG_LEVEL_ERROR}, "%s", error.what());
    }
}

// The files of this start for the running player, absolute against this start's folder: the
// running one works in its own.
std::vector<std::string> PathsForRunningInstance(const std::vector<std::wstring>& arguments) {
    std::vector<std::string> paths;
    for (const std::wstring& argument : arguments) {
        paths.push_back(PathToBytes(AbsolutePath(argument)));
    }
    return paths;
}

} // namespace

CQorApp::CQorApp(MainWindowFactory makeMainWindow, QString instanceName)
    : m_makeMainWindow(std::move(makeMainWindow)), m_instanceName(std::move(instanceName)) {}

CQorApp::~CQorApp() {
    m_instance.SetWindow(nullptr);
    m_instance.SetOpenHandler(nullptr);
    m_center.SetDialogs(nullptr);
    m_center.SetMainWindow(nullptr);
    m_mainWindow.reset();
}

bool CQorApp::InitInstance(const std::vector<std::wstring>& arguments) {
    // Without the guard (listening failed) the player still runs; a later start then opens a
    // second player.
    if (!m_instance.IsAnotherInstanceRunning(m_instanceName)) {
        m_instance.TrackFirstInstance(m_instanceName);
    }
    if (m_instance.HasPreviousInstance()) {
        m_instance.ActivatePreviousInstance(PathsForRunningInstance(arguments));
        return false;
    }

    InstallCrashHandler();

    const CAppFolder folders;
    folders.GetTempFolder();
    OpenLog(folders);
    Log({"CQorApp::InitInstance", LOG_LEVEL_INFO}, "QOR(%s) initializing...",
        WideToUtf8(ReadProgramVersion()).c_str());

    QCoreApplication::setOrganizationName(QString::fromLatin1(kPreferencesKey));
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kDisplayName));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kApplicationName)));

    m_center.SetDialogs(&m_dialogs);
    m_mainWindow = m_makeMainWindow(m_center, *this);
    if (!m_mainWindow) {
        Log({"CQorApp::InitInstance", LOG_LEVEL_ERROR}, "cannot create the main window");
        return false;
    }
    m_center.SetMainWindow(m_mainWindow.get());
    m_instance.SetWindow(m_mainWindow.get());

    SeedPlaylistRandom(static_cast<unsigned>(std::time(nullptr)));
    Raise(AppEvents::Initial, 0, 0);
    m_mainWindow->show();
    m_center.OpenCommandLine(arguments);
    m_instance.SetOpenHandler([this](const std::vector<std::string>& paths) {
        std::vector<std::wstring> files;
        for (const std::string& path : paths) {
            files.push_back(PathFromBytes(path));
        }
        m_center.OpenFromLaterStart(files);
    });

    Log({"CQorApp::InitInstance", LOG_LEVEL_INFO}, "QOR initialized.");
    return true;
}
