#include "platform/SingleInstance.h"

#include "platform/OpenRequest.h"
#include "platform/PlatformLog.h"
#include "platform/UserRuntimeFolder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
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
// The limit covers sending the request too.
constexpr int kAnswerTimeoutMs = 2000;
// A later start writes its request at once after connecting; a connection that has not sent a
// whole one by then is stalled or not a start, and is dropped.
constexpr int kRequestTimeoutMs = 2000;
// How much of a malformed request the log line shows.
constexpr std::size_t kLoggedPrefixBytes = 16;

constexpr char kWhere[] = "CInstanceChecker::OnNewConnection";

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

// The first bytes of a request for a log line: printable ASCII as it is, other bytes as \xNN.
std::string EscapedPrefix(std::string_view bytes) {
    std::string text;
    for (const char c : bytes.substr(0, kLoggedPrefixBytes)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            text += escaped;
        }
    }
    return bytes.size() > kLoggedPrefixBytes ? text + "..." : text;
}

void DropConnection(QLocalSocket& socket, const std::string& why) {
    PlatformLog(PLATFORM_LOG_ERROR, kWhere, "request ignored: " + why + "; connection closed");
    socket.abort();
    socket.deleteLater();
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

bool CInstanceChecker::ActivatePreviousInstance(const std::vector<std::string>& paths) {
    if (!m_previous) {
        return false;
    }
    const std::unique_ptr<QLocalSocket> socket = std::move(m_previous);
    const std::string request = EncodeOpenRequest(paths);
    const QDeadlineTimer deadline(kAnswerTimeoutMs);
    bool sent = socket->write(request.data(), static_cast<qint64>(request.size())) ==
                static_cast<qint64>(request.size());
    while (sent && socket->bytesToWrite() > 0) {
        sent = socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    }
    char answer = kAnswerNoWindow;
    const bool answered = sent &&
                          socket->waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
                          socket->getChar(&answer);
    socket->abort();
    return answered && answer == kAnswerRaised;
}

void CInstanceChecker::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (IsPeerThisUser(*socket, kWhere, "a start")) {
            ReadRequest(*socket);
        } else {
            socket->disconnectFromServer();
        }
    }
}

void CInstanceChecker::ReadRequest(QLocalSocket& socket) {
    // The bytes past a request's declared size are refused as they come, so neither the socket's
    // buffer nor this one grows much past the limit.
    socket.setReadBufferSize(static_cast<qint64>(kMaxOpenRequestBytes));
    auto received = std::make_shared<std::string>();
    auto* stallTimer = new QTimer(&socket);
    stallTimer->setSingleShot(true);
    connect(stallTimer, &QTimer::timeout, &socket, [&socket, received] {
        DropConnection(socket, "no whole request within " + std::to_string(kRequestTimeoutMs) +
                                   " ms (" + std::to_string(received->size()) + " bytes)");
    });
    const auto onBytes = [this, &socket, stallTimer, received] {
        const QByteArray bytes = socket.readAll();
        received->append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const EOpenRequestProgress progress = OpenRequestProgress(*received);
        if (progress == EOpenRequestProgress::Incomplete) {
            return;
        }
        stallTimer->stop();
        const auto paths =
            progress == EOpenRequestProgress::Whole ? ParseOpenRequest(*received) : std::nullopt;
        if (!paths) {
            DropConnection(socket, "malformed (" + std::to_string(received->size()) + " bytes: \"" +
                                       EscapedPrefix(*received) + "\")");
            return;
        }
        Answer(socket, *paths);
        socket.disconnectFromServer();
    };
    connect(&socket, &QLocalSocket::readyRead, &socket, onBytes);
    connect(&socket, &QLocalSocket::disconnected, stallTimer,
            [&socket, stallTimer, received, onBytes] {
                if (socket.bytesAvailable() > 0) {
                    onBytes();
                }
                if (stallTimer->isActive()) {
                    stallTimer->stop();
                    PlatformLog(PLATFORM_LOG_ERROR, kWhere,
                                "request ignored: the start closed the connection after " +
                                    std::to_string(received->size()) +
                                    " bytes, before a whole request");
                }
            });
    stallTimer->start(kRequestTimeoutMs);
    // What came before the connection was taken raises no readyRead of its own.
    if (socket.bytesAvailable() > 0) {
        onBytes();
    }
}

void CInstanceChecker::Answer(QLocalSocket& socket, const std::vector<std::string>& paths) {
    if (!paths.empty() && m_openHandler) {
        PlatformLog(PLATFORM_LOG_INFO, kWhere,
                    "another start: " + std::to_string(paths.size()) + " file(s) to open");
        m_openHandler(paths);
    }
    const bool raised = m_window != nullptr;
    if (raised) {
        BringWindowForward(*m_window);
    }
    PlatformLog(PLATFORM_LOG_INFO, kWhere,
                raised ? "another start: main window brought forward"
                       : "another start: no main window yet");
    socket.putChar(raised ? kAnswerRaised : kAnswerNoWindow);
    socket.flush();
}

void CInstanceChecker::BringWindowForward(QWidget& window) {
    if (window.isMinimized()) {
        window.showNormal();
    }
    window.show();
    window.raise();
    window.activateWindow();
    // A modal dialog open over the window is what the user needs to see.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != &window) {
        modal->raise();
        modal->activateWindow();
    }
}
