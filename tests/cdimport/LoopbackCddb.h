#pragma once
// A CDDB server over HTTP on the loopback interface, started by a test: a thread with a
// listening socket that answers each request with what the test's handler returns and keeps
// the requests it got. It serves as a proxy too (a proxy sees the same requests, with the whole
// address in the request line). Header only.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackCddb {
public:
    // handler: the whole HTTP answer for a request (its request line and headers).
    explicit LoopbackCddb(std::function<std::string(const std::string& request)> handler)
        : m_handler(std::move(handler)) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_fd, 8);
        socklen_t len = sizeof a;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackCddb() {
        m_stop = true;
        shutdown(m_fd, SHUT_RDWR);
        close(m_fd);
        m_thread.join();
    }
    LoopbackCddb(const LoopbackCddb&) = delete;
    LoopbackCddb& operator=(const LoopbackCddb&) = delete;

    int Port() const { return m_port; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    // A port on which nothing listens: bound, then closed again.
    static int DeadPort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        close(fd);
        return ntohs(a.sin_port);
    }

    // An HTTP answer with a CDDB body; lines end in CR LF.
    static std::string Http(const std::string& body, int status = 200) {
        return "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Error") +
               "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

private:
    void Serve() {
        while (!m_stop) {
            const int c = accept(m_fd, nullptr, nullptr);
            if (c < 0) return;
            std::string request;
            char buf[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            const std::string answer = m_handler(request);
            size_t sent = 0;
            while (sent < answer.size()) {
                const ssize_t n = send(c, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            close(c);
        }
    }

    std::function<std::string(const std::string&)> m_handler;
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};
