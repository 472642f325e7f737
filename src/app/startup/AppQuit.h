#pragma once
// Ends the program from outside its windows (a quit signal, the end of the desktop session),
// whatever is open. Quit rejects every open dialog, closes the main window (whose close stops
// playback and saves the default playlist, the same exit as the user's), and leaves every event
// loop, the nested loops of modal dialogs and popup menus included, so the application's exec
// returns. From then on a dialog that is shown (one the upgrade check asks for while the program
// ends, one the exit path itself opens) is rejected as soon as its event loop runs.
//
// Threads: user-interface thread only, after the QApplication exists. The main window is borrowed
// and may be destroyed first; dialogs are never owned, only rejected.
#include <QObject>
#include <QPointer>

class QWidget;

class CAppQuit : public QObject {
public:
    CAppQuit() = default;
    ~CAppQuit() override;
    CAppQuit(const CAppQuit&) = delete;
    CAppQuit& operator=(const CAppQuit&) = delete;

    // The window whose close is the program's exit path; none until the program has made it.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    // Only the first call acts; the application's exec then returns 0.
    void Quit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_mainWindow;
    bool m_quitting = false;
};
