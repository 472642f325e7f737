#pragma once
// One running player per user. The first instance listens on a local socket; a later start
// connects to it and sends the files it was started with (platform/OpenRequest.h), and the first
// hands them to its open handler, restores and raises its main window and answers, so the later
// one can exit. The socket and its lock file lie in the user's own runtime folder, which only
// the user can enter (platform/UserRuntimeFolder.h); without such a folder the player runs
// without the guard. Both ends trust a connection only when its peer credentials (SO_PEERCRED)
// name the same user: a listener of anyone else found at the socket's name is logged and
// ignored, and the name taken over; a connection from anyone else is logged and closed unanswered.
//
// A request is read as it arrives, never waited for: a connection whose bytes are not one
// well-formed request (OpenRequestProgress, ParseOpenRequest), or which has not sent one whole
// within kRequestTimeoutMs (see the .cpp), is logged in one line and closed unanswered; nothing
// else changes.
//
// A socket file left by an instance that died without closing it (SIGKILL, a crash) refuses
// connections: the check then reports no other instance, and the new first instance replaces the
// file, so such a leftover never blocks a start.
//
// Threads: made, used and destroyed on the user-interface thread; a request from a later instance
// is read and answered there by the event loop, which also calls the open handler. Ownership: the
// window is not owned; it must outlive the checker or be replaced by SetWindow(nullptr) first;
// what the open handler reaches likewise, or SetOpenHandler(nullptr) first.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QWidget;

class CInstanceChecker : public QObject {
public:
    // The name every player instance uses: the socket's file name.
    static constexpr char kName[] = "CInstanceChecker_MMF_QOR";

    CInstanceChecker();
    ~CInstanceChecker() override;
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    // True when an instance of this user under that name accepts a connection; the connection is
    // kept for ActivatePreviousInstance. Waits at most kConnectTimeoutMs (see the .cpp).
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
    // Receives the absolute paths (the file system's bytes) of a well-formed request that names
    // any, before the window comes forward. Without a handler they are dropped.
    using OpenHandler = std::function<void(const std::vector<std::string>& paths)>;
    void SetOpenHandler(OpenHandler handler) { m_openHandler = std::move(handler); }
    // Sends the paths (absolute; see EncodeOpenRequest for those left out) to the instance found
    // by IsAnotherInstanceRunning, asking it to open them and bring its window forward, then
    // closes the connection. No paths: only the window comes forward. True when it answered that
    // its window came forward; false without a connection, when it had no window yet, or when the
    // request was not sent and answered within kAnswerTimeoutMs.
    bool ActivatePreviousInstance(const std::vector<std::string>& paths = {});

    // The socket's path for an instance name: the name in the user's runtime folder; empty when
    // the user has none.
    static QString SocketPath(const QString& name);
    // Restores, shows and raises the window, and a modal dialog open over it, the way a later
    // start brings the player forward.
    static void BringWindowForward(QWidget& window);

private:
    // Connects to the listener at path if it runs as this user.
    bool Connect(const QString& path);
    void OnNewConnection();
    // Collects the request of one later start as it arrives; answers a whole one, drops the rest.
    void ReadRequest(QLocalSocket& socket);
    // Answers one later start: its paths opened, the window brought forward, or a refusal.
    void Answer(QLocalSocket& socket, const std::vector<std::string>& paths);

    std::unique_ptr<QLocalServer> m_server;
    std::unique_ptr<QLocalSocket> m_previous; // the connection to the first instance, if found
    QWidget* m_window = nullptr;              // not owned
    OpenHandler m_openHandler;
};
