#include "platform/SingleInstance.h"

#include "platform/PlatformLog.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>
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

} // namespace

CInstanceChecker::CInstanceChecker() = default;

CInstanceChecker::~CInstanceChecker() {
    if (m_server) {
        m_server->close();
    }
}

QString CInstanceChecker::SocketName(const QString& name) {
    return name + QLatin1Char('-') + QString::number(getuid());
}

bool CInstanceChecker::IsAnotherInstanceRunning(const QString& name) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(SocketName(name));
    if (!socket->waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    m_previous = std::move(socket);
    return true;
}

bool CInstanceChecker::TrackFirstInstance(const QString& name) {
    if (m_previous || m_server) {
        return m_server != nullptr;
    }
    const QString socketName = SocketName(name);
    // Looking and listening under one lock, so that of two players started at once the second
    // finds the first: listening with the user-only option replaces a socket file in the way,
    // a live one too. A lock left by a dead process is taken over.
    QLockFile lock(QDir::tempPath() + QLatin1Char('/') + socketName + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
        PlatformLog(PLATFORM_LOG_ERROR, "CInstanceChecker::TrackFirstInstance",
                    "cannot lock " + lock.fileName().toStdString());
    }
    if (IsAnotherInstanceRunning(name)) {
        return false;
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketName)) {
        // Nobody answers there, so the file in the way was left by a dead instance.
        QLocalServer::removeServer(socketName);
        if (!server->listen(socketName)) {
            PlatformLog(PLATFORM_LOG_ERROR, "CInstanceChecker::TrackFirstInstance",
                        "cannot listen on " + socketName.toStdString() + ": " +
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
        // Whatever the peer sends is ignored: the connection alone is the request.
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const bool raised = m_window != nullptr;
        if (raised) {
            BringWindowForward();
        }
        PlatformLog(PLATFORM_LOG_INFO, "CInstanceChecker::OnNewConnection",
                    raised ? "another start: main window brought forward"
                           : "another start: no main window yet");
        socket->putChar(raised ? kAnswerRaised : kAnswerNoWindow);
        socket->flush();
        socket->disconnectFromServer();
    }
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
