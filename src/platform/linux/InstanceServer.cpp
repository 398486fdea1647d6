#include "InstanceServer.h"

#include "platform/posix/InstanceClient.h"

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace quavix {

namespace {
constexpr std::size_t MaxRequest = 4096;
// A peer that never finishes its line must not hold its connection for ever.
constexpr auto RequestDeadline = std::chrono::seconds(2);

bool sameUser(int fd)
{
    ucred peer{};
    socklen_t len = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 && peer.uid == ::getuid();
}

struct Client {
    int fd;
    std::string in;
    std::chrono::steady_clock::time_point deadline;
};
} // namespace

InstanceServer::InstanceServer(std::function<void()> onActivate, QObject* parent)
    : QObject(parent), m_onActivate(std::move(onActivate))
{
}

InstanceServer::~InstanceServer()
{
    if (m_thread.joinable()) {
        char c = 'q';
        while (::write(m_wake[1], &c, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    for (int fd : {m_listenFd, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

bool InstanceServer::listen(const std::string& name)
{
    if (m_listenFd >= 0)
        return true;
    const std::string n = name.empty() ? instance::socketName() : name;
    sockaddr_un addr{};
    if (n.size() + 1 > sizeof addr.sun_path)
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    addr.sun_family = AF_UNIX;
    addr.sun_path[0] = '\0'; // abstract namespace: nothing on disk, nothing stale
    std::memcpy(addr.sun_path + 1, n.data(), n.size());
    auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n.size());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool InstanceServer::isListening() const
{
    return m_listenFd >= 0;
}

void InstanceServer::activate()
{
    ++m_activations;
    // Queued to the owner's thread; dropped if the server is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_onActivate)
                m_onActivate();
        },
        Qt::QueuedConnection);
}

void InstanceServer::run()
{
    using Clock = std::chrono::steady_clock;
    std::vector<Client> clients;
    auto drop = [&](std::size_t i) {
        ::close(clients[i].fd);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
    };
    for (;;) {
        std::vector<pollfd> fds = {{m_wake[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        int timeout = -1;
        const auto now = Clock::now();
        for (const Client& c : clients) {
            fds.push_back({c.fd, POLLIN, 0});
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count();
            timeout = timeout < 0 ? static_cast<int>(std::max<long>(left, 0))
                                  : std::min(timeout, static_cast<int>(std::max<long>(left, 0)));
        }
        int n = ::poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        // Serve the connections already open first: their indices match fds from 2 on.
        for (std::size_t i = clients.size(); i-- > 0;) {
            Client& c = clients[i];
            if (!fds[i + 2].revents) {
                if (Clock::now() >= c.deadline)
                    drop(i);
                continue;
            }
            char buf[512];
            ssize_t got = ::recv(c.fd, buf, sizeof buf, 0);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                drop(i);
                continue;
            }
            c.in.append(buf, static_cast<std::size_t>(got));
            auto end = c.in.find('\n');
            if (end == std::string::npos) {
                if (c.in.size() > MaxRequest)
                    drop(i);
                continue;
            }
            auto request = instance::parse(std::string_view(c.in).substr(0, end));
            if (request) {
                if (request->kind == instance::Request::Activate)
                    activate();
                // Four bytes fit any socket buffer: a non-blocking send does not fall short.
                if (::send(c.fd, instance::Ack.data(), instance::Ack.size(), MSG_NOSIGNAL) < 0) {
                    // The peer went away; nothing to answer.
                }
            }
            drop(i);
        }
        if (fds[1].revents) {
            for (int fd; (fd = ::accept4(m_listenFd, nullptr, nullptr,
                                         SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                if (!sameUser(fd)) {
                    ::close(fd);
                    continue;
                }
                clients.push_back({fd, {}, Clock::now() + RequestDeadline});
            }
        }
    }
    for (const Client& c : clients)
        ::close(c.fd);
}

} // namespace quavix
