#pragma once
// A small web server on loopback for the upgrade tests: one thread, one request per connection,
// answers set per path (or per path prefix) by the test, every request recorded. Given an
// identity (UpgradeTestPki.h) it speaks HTTPS, otherwise plain HTTP; a plain server closes a
// connection that opens with a TLS handshake at once.
#include "UpgradeTestPki.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CUpgradeTestServer {
public:
    struct Answer {
        int status = 200;
        std::string body;
        // Extra header lines, each ending with CR LF.
        std::string headers;
        // When set, the body goes out one byte per this many milliseconds.
        int dripMs = 0;
    };
    struct Request {
        std::string method;
        std::string path;
        // The request's header lines and body as received.
        std::string text;
    };

    explicit CUpgradeTestServer(const CTestIdentity* tls = nullptr) {
        // A client that gives up mid-answer must not end the test program.
        std::signal(SIGPIPE, SIG_IGN);
        if (tls != nullptr) {
            m_tls = SSL_CTX_new(TLS_server_method());
            // With TLS 1.3 this server, answering libcurl in the same process, now and then
            // fails the client's first record ("decryption failed or bad record mac"); 1.2
            // keeps the tests deterministic and checks the same certificates.
            SSL_CTX_set_max_proto_version(m_tls, TLS1_2_VERSION);
            SSL_CTX_use_certificate(m_tls, tls->certificate.get());
            SSL_CTX_use_PrivateKey(m_tls, tls->key.get());
        }
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(m_socket, 16) == 0 &&
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~CUpgradeTestServer() {
        m_stop = true;
        m_thread.join();
        close(m_socket);
        SSL_CTX_free(m_tls);
    }
    CUpgradeTestServer(const CUpgradeTestServer&) = delete;
    CUpgradeTestServer& operator=(const CUpgradeTestServer&) = delete;

    // "127.0.0.1:<port>"
    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }
    // "https://127.0.0.1:<port>" or "http://...".
    std::string Origin() const { return (m_tls ? "https://" : "http://") + Host(); }

    void Set(const std::string& path, const Answer& answer) {
        std::lock_guard lock(m_lock);
        m_answers[path] = answer;
    }
    // For every path below the prefix that has no answer of its own.
    void SetBelow(const std::string& prefix, const Answer& answer) {
        std::lock_guard lock(m_lock);
        m_prefixAnswers[prefix] = answer;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_answers.clear();
        m_prefixAnswers.clear();
    }
    std::vector<Request> Requests() const {
        std::lock_guard lock(m_lock);
        return m_requests;
    }
    int Count(const std::string& path) const {
        int count = 0;
        for (const Request& request : Requests()) {
            count += request.path == path ? 1 : 0;
        }
        return count;
    }
    bool AnyBelow(const std::string& prefix) const {
        for (const Request& request : Requests()) {
            if (request.path.starts_with(prefix)) {
                return true;
            }
        }
        return false;
    }

private:
    // Time limit on each read and write of a connection, so a stuck client never holds the
    // server.
    static constexpr int kIoLimitMs = 2000;
    static constexpr char kTlsHandshakeByte = 0x16;

    // One connection's reads and writes, through TLS or straight on the socket.
    class CConnection {
    public:
        CConnection(int socket, SSL_CTX* tls) : m_socket(socket) {
            timeval limit{kIoLimitMs / 1000, 0};
            setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
            setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
            if (tls != nullptr) {
                m_ssl = SSL_new(tls);
                SSL_set_fd(m_ssl, socket);
                m_open = SSL_accept(m_ssl) == 1;
            }
        }
        ~CConnection() {
            if (m_ssl != nullptr) {
                SSL_shutdown(m_ssl);
                SSL_free(m_ssl);
            }
        }
        CConnection(const CConnection&) = delete;
        CConnection& operator=(const CConnection&) = delete;
        bool Open() const { return m_open; }
        bool Secure() const { return m_ssl != nullptr; }
        long Read(char* buffer, int size) {
            return m_ssl != nullptr ? SSL_read(m_ssl, buffer, size) : read(m_socket, buffer, size);
        }
        bool WriteAll(const char* data, std::size_t size) {
            while (size > 0) {
                const long wrote = m_ssl != nullptr ? SSL_write(m_ssl, data, static_cast<int>(size))
                                                    : send(m_socket, data, size, MSG_NOSIGNAL);
                if (wrote <= 0) {
                    return false;
                }
                data += wrote;
                size -= static_cast<std::size_t>(wrote);
            }
            return true;
        }

    private:
        int m_socket;
        SSL* m_ssl = nullptr;
        bool m_open = true;
    };

    void Run() {
        while (!m_stop) {
            pollfd listening{m_socket, POLLIN, 0};
            if (poll(&listening, 1, 20) <= 0) {
                continue;
            }
            const int connection = accept(m_socket, nullptr, nullptr);
            if (connection >= 0) {
                CConnection io(connection, m_tls);
                if (io.Open()) {
                    Serve(io);
                }
                close(connection);
            }
        }
    }

    void Serve(CConnection& io) {
        std::string text;
        std::size_t headerEnd = std::string::npos;
        std::size_t expected = 0;
        char buffer[4096];
        while (headerEnd == std::string::npos || text.size() < headerEnd + 4 + expected) {
            const long got = io.Read(buffer, sizeof(buffer));
            if (got <= 0) {
                return;
            }
            text.append(buffer, static_cast<std::size_t>(got));
            if (!io.Secure() && text[0] == kTlsHandshakeByte) {
                return;
            }
            if (headerEnd == std::string::npos &&
                (headerEnd = text.find("\r\n\r\n")) != std::string::npos) {
                const auto length = text.find("Content-Length: ");
                if (length != std::string::npos && length < headerEnd) {
                    expected = std::stoul(text.substr(length + 16));
                }
            }
        }
        Request request;
        const auto space = text.find(' ');
        request.method = text.substr(0, space);
        request.path = text.substr(space + 1, text.find(' ', space + 1) - space - 1);
        request.text = text;
        Answer answer{404, "not here", "", 0};
        {
            std::lock_guard lock(m_lock);
            m_requests.push_back(request);
            if (const auto exact = m_answers.find(request.path); exact != m_answers.end()) {
                answer = exact->second;
            } else {
                for (const auto& [prefix, below] : m_prefixAnswers) {
                    if (request.path.starts_with(prefix)) {
                        answer = below;
                    }
                }
            }
        }
        const std::string head =
            "HTTP/1.1 " + std::to_string(answer.status) +
            " Answer\r\nContent-Length: " + std::to_string(answer.body.size()) +
            "\r\nConnection: close\r\n" + answer.headers + "\r\n";
        if (answer.dripMs == 0) {
            io.WriteAll((head + answer.body).data(), head.size() + answer.body.size());
            return;
        }
        if (!io.WriteAll(head.data(), head.size())) {
            return;
        }
        for (const char byte : answer.body) {
            if (m_stop || !io.WriteAll(&byte, 1)) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.dripMs));
        }
    }

    SSL_CTX* m_tls = nullptr;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::map<std::string, Answer> m_answers;       // guarded by m_lock
    std::map<std::string, Answer> m_prefixAnswers; // guarded by m_lock
    std::vector<Request> m_requests;               // guarded by m_lock
    std::thread m_thread;
};
