#pragma once
// The application object: one player per user, folders and the log, preferences, the main window,
// "AppInitial" and the command line at start; the main window destroyed at exit. It owns the
// application's subject (this object), the control center every window reaches through it, and
// the desktop dialogs the center asks.
//
// Start-up order (InitInstance): the single-instance check (a later start passes its files, made
// absolute, to the first instance, which appends them, plays the first and brings its window
// forward; the later one returns false); the crash handler;
// the application folder and its Temp folder; the log "qor.log" in Temp; "QOR(<version>)
// initializing..."; the preferences' names; the main window, made by the factory, recorded for
// later starts; the shuffle seed; "AppInitial" raised here (arguments 0, 0), on which the window
// initialises the center and restores the default playlist; the command line appended and its
// last file played; the files of later starts accepted from here on; "QOR initialized.".
//
// Threads: user-interface thread only, after the QApplication exists. Ownership: the window the
// factory returns is owned here and destroyed first when this object goes (a window still open
// is closed without running its close handling); the center outlives it.
#include "app/dialogs/FileDialogs.h"
#include "core/EventBus.h"
#include "platform/SingleInstance.h"
#include "playlist/ControlCenter.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

class CQorApp : public ISubject {
public:
    // Creates the main window and its controls, subscribed to "AppInitial" on application; null
    // when that fails.
    using MainWindowFactory =
        std::function<std::unique_ptr<QWidget>(CControlCenter& center, ISubject& application)>;

    // instanceName: the single-instance name; tests give their own.
    explicit CQorApp(MainWindowFactory makeMainWindow,
                     QString instanceName = QString::fromLatin1(CInstanceChecker::kName));
    ~CQorApp() override;
    CQorApp(const CQorApp&) = delete;
    CQorApp& operator=(const CQorApp&) = delete;

    // The start-up sequence above; arguments are the command line after the program's name.
    // False when the process should exit: another instance runs, or no main window was made.
    bool InitInstance(const std::vector<std::wstring>& arguments);

    CControlCenter& GetControlCenter() { return m_center; }
    // Null before InitInstance made it.
    QWidget* GetMainWindow() const { return m_mainWindow.get(); }

private:
    MainWindowFactory m_makeMainWindow;
    QString m_instanceName;
    CInstanceChecker m_instance;
    CControlCenter m_center;
    CQtCenterDialogs m_dialogs;
    // Declared last: it goes first, while the center it works on still exists.
    std::unique_ptr<QWidget> m_mainWindow;
};
