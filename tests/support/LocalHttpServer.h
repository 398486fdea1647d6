#pragma once
// An http server on 127.0.0.1 in its own threads (a player's open blocks the UI thread) that
// serves one body at every path. With Ranges it honours "Range: bytes=N-"; with NoRanges it
// always sends the whole body and does not advertise ranges, like many streaming servers;
// with Stall it sends the headers and then nothing until the peer closes or the server goes.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quavix::testing {

class LocalHttpServer {
public:
    enum Mode { Ranges, NoRanges, Stall };
    LocalHttpServer(std::string body, Mode mode) : m_body(std::move(body)), m_mode(mode)
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        auto* a = reinterpret_cast<sockaddr*>(&addr);
        if (bind(m_listen, a, len) != 0 || listen(m_listen, 8) != 0 ||
            getsockname(m_listen, a, &len) != 0)
            throw std::runtime_error("cannot listen");
        m_port = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] {
            for (int fd; (fd = accept(m_listen, nullptr, nullptr)) >= 0;) {
                std::lock_guard lock(m_mutex);
                m_clients.push_back(fd);
                m_workers.emplace_back([this, fd] { serve(fd); });
            }
        });
    }
    ~LocalHttpServer()
    {
        shutdown(m_listen, SHUT_RDWR);
        {
            std::lock_guard lock(m_mutex);
            for (int fd : m_clients)
                shutdown(fd, SHUT_RDWR);
        }
        m_acceptor.join();
        close(m_listen);
        for (auto& t : m_workers)
            t.join();
    }
    std::string url(const std::string& path = "/a.mp3") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int rangedRequests() const { return m_rangedRequests; }
    // Headers sent, the peer still waiting for data.
    bool stalling() const { return m_stalls > 0; }

private:
    void serve(int fd)
    {
        std::string request;
        char buf[4096];
        for (ssize_t n; request.find("\r\n\r\n") == std::string::npos &&
                        (n = recv(fd, buf, sizeof buf, 0)) > 0;)
            request.append(buf, static_cast<size_t>(n));
        std::transform(request.begin(), request.end(), request.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto range = request.find("\r\nrange: bytes=");
        const bool ranged = m_mode == Ranges && range != std::string::npos;
        m_rangedRequests += range != std::string::npos;
        const size_t size = m_body.size(),
                     from = ranged ? std::min<size_t>(std::stoul(request.substr(range + 15)), size)
                                   : 0;
        std::string reply = ranged ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                         std::to_string(from) + "-" + std::to_string(size - 1) +
                                         "/" + std::to_string(size) + "\r\n"
                                   : "HTTP/1.1 200 OK\r\n";
        if (m_mode == Stall)
            reply += "Content-Type: audio/mpeg\r\n\r\n";
        else
            reply += std::string(m_mode == Ranges ? "Accept-Ranges: bytes\r\n" : "") +
                     "Content-Type: audio/mpeg\r\nConnection: close\r\nContent-Length: " +
                     std::to_string(size - from) + "\r\n\r\n" + m_body.substr(from);
        size_t sent = 0;
        for (ssize_t n; sent < reply.size() &&
                        (n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL)) > 0;)
            sent += static_cast<size_t>(n);
        const bool stalled = m_mode == Stall && sent == reply.size();
        m_stalls += stalled;
        if (m_mode != Stall)
            shutdown(fd, SHUT_WR);
        while (recv(fd, buf, sizeof buf, 0) > 0) {
        }
        m_stalls -= stalled;
        std::lock_guard lock(m_mutex);
        close(fd);
        std::erase(m_clients, fd);
    }

    std::string m_body;
    Mode m_mode;
    int m_listen = socket(AF_INET, SOCK_STREAM, 0), m_port = 0;
    std::atomic<int> m_rangedRequests{0}, m_stalls{0};
    std::mutex m_mutex;
    std::vector<int> m_clients;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};

} // namespace quavix::testing
