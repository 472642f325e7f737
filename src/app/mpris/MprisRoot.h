#pragma once
// org.mpris.MediaPlayer2: who the player is, Raise (the main window comes forward as it does for
// a later start) and Quit (the program's own orderly exit, run from the event loop after the
// answer went out, so the default playlist is saved as when the window closes).
//
// Threads: user-interface thread only. Ownership: a child of the object it is exported on; the
// window is borrowed and outlives it.
#include <functional>

#include <QDBusAbstractAdaptor>
#include <QStringList>

class QWidget;

class CMprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    CMprisRoot(QObject* exported, QWidget& window, std::function<void()> quit);

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const;
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    QWidget& m_window;
    std::function<void()> m_quit;
};
