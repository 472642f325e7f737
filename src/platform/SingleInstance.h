#pragma once
// One running player per user. The first instance listens on a local socket; a later start
// connects to it, and the first answers by restoring and raising its main window, so the later
// one can exit. The socket's name is the instance name plus the user id, and only the user may
// connect, so two users on one machine each have their own player.
//
// A socket file left by an instance that died without closing it (SIGKILL, a crash) refuses
// connections: the check then reports no other instance, and the new first instance replaces the
// file, so such a leftover never blocks a start.
//
// Threads: made, used and destroyed on the user-interface thread; a request from a later instance
// is answered there by the event loop. Ownership: the window is not owned; it must outlive the
// checker or be replaced by SetWindow(nullptr) first.
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

class CInstanceChecker : public QObject {
public:
    // The name every player instance uses (the user id is added to it).
    static constexpr char kName[] = "CInstanceChecker_MMF_QOR";

    CInstanceChecker();
    ~CInstanceChecker() override;
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    // True when an instance under that name accepts a connection; the connection is kept for
    // ActivatePreviousInstance. Waits at most kConnectTimeoutMs (see the .cpp).
    bool IsAnotherInstanceRunning(const QString& name);
    // Listens under that name, unless another instance was found. It looks again first, under a
    // lock file beside the socket, so that of two started at once the later finds the earlier
    // (HasPreviousInstance). A leftover socket file is replaced. False when this one does not
    // listen: another was found, or listening failed (the player then runs without the guard).
    bool TrackFirstInstance(const QString& name);
    // Whether a running instance was found, by either call above.
    bool HasPreviousInstance() const { return m_previous != nullptr; }
    // The window that a later start brings forward; null while there is none (the request is then
    // answered without effect).
    void SetWindow(QWidget* window) { m_window = window; }
    // Asks the instance found by IsAnotherInstanceRunning to bring its window forward and closes
    // the connection. True when it answered that it did; false without a connection, when it had
    // no window yet, or when no answer came within kAnswerTimeoutMs.
    bool ActivatePreviousInstance();

    // The socket name for an instance name: the name, "-" and the user id.
    static QString SocketName(const QString& name);

private:
    void OnNewConnection();
    void BringWindowForward();

    std::unique_ptr<QLocalServer> m_server;
    std::unique_ptr<QLocalSocket> m_previous; // the connection to the first instance, if found
    QWidget* m_window = nullptr;              // not owned
};
