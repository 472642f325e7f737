#include "platform/SingleInstance.h"

#include "platform/PlatformLog.h"
#include "platform/UserRuntimeFolder.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A live instance accepts at once (the kernel queues the connection even while its event loop is
// busy); a leftover socket file refuses at once. The limit only guards against a hung peer.
constexpr int kConnectTimeoutMs = 1000;
// Another start holds the lock only while it looks and listens; past this, the start goes on
// unguarded rather than not at all.
constexpr int kLockTimeoutMs = 3000;
// The first instance answers from its event loop; one busy loading a file may take a moment.
constexpr int kAnswerTimeoutMs = 2000;

// One byte each way: the answer tells whether a window was brought forward.
constexpr char kAnswerRaised = '1';
constexpr char kAnswerNoWindow = '0';

// Whether the peer at the other end of socket runs as this user. Anyone else's is logged
// (where: the caller's name; what: the kind of peer and where it was met).
bool IsPeerThisUser(const QLocalSocket& socket, const char* where, const std::string& what) {
    ucred peer{};
    socklen_t size = sizeof peer;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        size != sizeof peer) {
        PlatformLog(PLATFORM_LOG_ERROR, where, "ignored: " + what + " of unknown user");
        return false;
    }
    if (peer.uid != ::geteuid()) {
        PlatformLog(PLATFORM_LOG_ERROR, where,
                    "ignored: " + what + " of user " + std::to_string(peer.uid) + " (process " +
                        std::to_string(peer.pid) + ")");
        return false;
    }
    return true;
}

} // namespace

CInstanceChecker::CInstanceChecker() = default;

CInstanceChecker::~CInstanceChecker() {
    if (m_server) {
        m_server->close();
    }
}

QString CInstanceChecker::SocketPath(const QString& name) {
    const std::string folder =
        FindUserRuntimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString(),
                              QDir::tempPath().toStdString(), ::geteuid());
    if (folder.empty()) {
        return {};
    }
    return QString::fromStdString(folder) + QLatin1Char('/') + name;
}

bool CInstanceChecker::IsAnotherInstanceRunning(const QString& name) {
    return Connect(SocketPath(name));
}

bool CInstanceChecker::Connect(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(path);
    if (!socket->waitForConnected(kConnectTimeoutMs) ||
        !IsPeerThisUser(*socket, "CInstanceChecker::IsAnotherInstanceRunning",
                        "a listener at " + path.toStdString())) {
        return false;
    }
    m_previous = std::move(socket);
    return true;
}

bool CInstanceChecker::TrackFirstInstance(const QString& name) {
    if (m_previous || m_server) {
        return m_server != nullptr;
    }
    const QString path = SocketPath(name);
    if (path.isEmpty()) {
        PlatformLog(PLATFORM_LOG_ERROR, "CInstanceChecker::TrackFirstInstance",
                    "no folder of the user's own: running without the single-instance guard");
        return false;
    }
    // Looking and listening under one lock, so that of two players started at once the second
    // finds the first: listening with the user-only option replaces a socket file in the way,
    // a live one too. A lock left by a dead process is taken over.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
        PlatformLog(PLATFORM_LOG_ERROR, "CInstanceChecker::TrackFirstInstance",
                    "cannot lock " + lock.fileName().toStdString());
    }
    if (Connect(path)) {
        return false;
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        // Nobody of this user answers there: the file in the way was left by a dead instance,
        // or is someone else's.
        QLocalServer::removeServer(path);
        if (!server->listen(path)) {
            PlatformLog(PLATFORM_LOG_ERROR, "CInstanceChecker::TrackFirstInstance",
                        "cannot listen on " + path.toStdString() + ": " +
                            server->errorString().toStdString());
            return false;
        }
    }
    connect(server.get(), &QLocalServer::newConnection, this, &CInstanceChecker::OnNewConnection);
    m_server = std::move(server);
    return true;
}

bool CInstanceChecker::ActivatePreviousInstance() {
    if (!m_previous) {
        return false;
    }
    const std::unique_ptr<QLocalSocket> socket = std::move(m_previous);
    char answer = kAnswerNoWindow;
    const bool answered = socket->waitForReadyRead(kAnswerTimeoutMs) && socket->getChar(&answer);
    socket->abort();
    return answered && answer == kAnswerRaised;
}

void CInstanceChecker::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (IsPeerThisUser(*socket, "CInstanceChecker::OnNewConnection", "a start")) {
            Answer(*socket);
        }
        socket->disconnectFromServer();
    }
}

void CInstanceChecker::Answer(QLocalSocket& socket) {
    // Whatever the peer sends is ignored: the connection alone is the request.
    const bool raised = m_window != nullptr;
    if (raised) {
        BringWindowForward();
    }
    PlatformLog(PLATFORM_LOG_INFO, "CInstanceChecker::OnNewConnection",
                raised ? "another start: main window brought forward"
                       : "another start: no main window yet");
    socket.putChar(raised ? kAnswerRaised : kAnswerNoWindow);
    socket.flush();
}

void CInstanceChecker::BringWindowForward() {
    if (m_window->isMinimized()) {
        m_window->showNormal();
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // A modal dialog open over the window is what the user needs to see.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != m_window) {
        modal->raise();
        modal->activateWindow();
    }
}
