#pragma once
// A small HTTP server on loopback for the upgrade tests: one thread, one request per connection,
// answers set per path (or per path prefix) by the test, every request recorded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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
    };
    struct Request {
        std::string method;
        std::string path;
        // The request's header lines and body as received.
        std::string text;
    };

    CUpgradeTestServer() {
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
    }
    CUpgradeTestServer(const CUpgradeTestServer&) = delete;
    CUpgradeTestServer& operator=(const CUpgradeTestServer&) = delete;

    // "127.0.0.1:<port>"
    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }

    void Set(const std::string& path, const Answer& answer) {
        std::lock_guard lock(m_lock);
        m_answers[path] = answer;
    }
    // For every path below the prefix that has no answer of its own.
    void SetBelow(const std::string& prefix, const Answer& answer) {
        std::lock_guard lock(m_lock);
        m_prefixAnswers[prefix] = answer;
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
    // Time limit on waiting for a request's bytes, so a stuck client never holds the server.
    static constexpr int kReadLimitMs = 2000;

    void Run() {
        while (!m_stop) {
            pollfd listening{m_socket, POLLIN, 0};
            if (poll(&listening, 1, 20) <= 0) {
                continue;
            }
            const int connection = accept(m_socket, nullptr, nullptr);
            if (connection >= 0) {
                Serve(connection);
                close(connection);
            }
        }
    }

    void Serve(int connection) {
        std::string text;
        std::size_t headerEnd = std::string::npos;
        std::size_t expected = 0;
        char buffer[4096];
        while (headerEnd == std::string::npos || text.size() < headerEnd + 4 + expected) {
            pollfd readable{connection, POLLIN, 0};
            if (poll(&readable, 1, kReadLimitMs) <= 0) {
                return;
            }
            const ssize_t got = read(connection, buffer, sizeof(buffer));
            if (got <= 0) {
                return;
            }
            text.append(buffer, static_cast<std::size_t>(got));
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
        Answer answer{404, "not here", ""};
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
        const std::string reply =
            "HTTP/1.1 " + std::to_string(answer.status) +
            " Answer\r\nContent-Length: " + std::to_string(answer.body.size()) +
            "\r\nConnection: close\r\n" + answer.headers + "\r\n" + answer.body;
        std::size_t sent = 0;
        while (sent < reply.size()) {
            const ssize_t wrote =
                send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(wrote);
        }
    }

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::map<std::string, Answer> m_answers;       // guarded by m_lock
    std::map<std::string, Answer> m_prefixAnswers; // guarded by m_lock
    std::vector<Request> m_requests;               // guarded by m_lock
    std::thread m_thread;
};
