#include "InstanceClient.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quavix {

namespace instance {

namespace {

// An abstract socket name holds at most 107 bytes; a longer one would fail to bind and to
// connect alike, and every start would take itself for the only instance. A long name keeps
// its start, followed by a digest of the whole.
std::string fittingName(std::string name)
{
    constexpr std::size_t Longest = 100;
    if (name.size() <= Longest)
        return name;
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a, 64 bits
    for (unsigned char c : name)
        hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return name.substr(0, Longest - 17) + "-" + hex;
}

} // namespace

std::string socketName()
{
    if (const char* name = std::getenv("QUAVIX_INSTANCE_NAME"); name && *name)
        return fittingName(name);
    std::string name = "quavix-" + std::to_string(::getuid());
    // A sandbox (tests, the demo) sets its own runtime folder; give it its own instance
    // so that it never hands files to the user's Quavix or to another sandbox.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::string(runtime) != "/run/user/" + std::to_string(::getuid())) {
        std::uint32_t hash = 2166136261u; // FNV-1a
        for (const char* c = runtime; *c; ++c)
            hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", hash);
        name += "-";
        name += hex;
    }
    return name;
}

std::string stationSocketName()
{
    return fittingName(socketName() + "-station");
}

std::string encode(const Request& request)
{
    if (request.kind == Request::Ping)
        return "PING\n";
    std::string title = request.title;
    for (char& c : title)
        if (c == '\n' || c == '\r')
            c = ' ';
    return "ACTIVATE " + title + "\n";
}

std::optional<Request> parse(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line == "PING")
        return Request{Request::Ping, {}};
    constexpr std::string_view activate = "ACTIVATE ";
    if (line.substr(0, activate.size()) == activate)
        return Request{Request::Activate, std::string(line.substr(activate.size()))};
    return std::nullopt;
}

} // namespace instance

namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Waits for the events until the deadline; false on timeout or error.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left < 0)
            return false;
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 && (p.revents & events);
    }
}

} // namespace

InstanceClient::InstanceClient(std::string name, int timeoutMs)
    : m_name(std::move(name)), m_timeoutMs(timeoutMs)
{
}

InstanceClient::Answer InstanceClient::ping()
{
    return exchange({instance::Request::Ping, {}});
}

bool InstanceClient::activate(const std::string& title)
{
    return exchange({instance::Request::Activate, title}) == Answer::Answered;
}

InstanceClient::Answer InstanceClient::exchange(const instance::Request& request)
{
    using enum Answer;
    m_holder = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    sockaddr_un addr{};
    if (m_name.size() + 1 > sizeof addr.sun_path)
        return None;
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0)
        return None;
    addr.sun_family = AF_UNIX;
    addr.sun_path[0] = '\0'; // abstract namespace
    std::memcpy(addr.sun_path + 1, m_name.data(), m_name.size());
    auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + m_name.size());
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            return None;
        if (!waitFor(fd.get(), POLLOUT, deadline))
            return None;
        int err = 0;
        socklen_t errLen = sizeof err;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0)
            return None;
    }
    ucred peer{};
    socklen_t peerLen = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerLen) != 0 ||
        peer.uid != ::getuid())
        return None;
    // An abstract name lives exactly as long as the socket of its holder: from here on a
    // process of ours is there, whether or not it answers.
    m_holder = peer.pid;

    std::string out = instance::encode(request);
    std::size_t sent = 0;
    while (sent < out.size()) {
        ssize_t n = ::send(fd.get(), out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (!waitFor(fd.get(), POLLOUT, deadline))
                return Silent;
            continue;
        }
        if (n <= 0)
            return Silent;
        sent += static_cast<std::size_t>(n);
    }

    std::string in;
    while (in.find('\n') == std::string::npos && in.size() < 64) {
        if (!waitFor(fd.get(), POLLIN, deadline))
            return Silent;
        char buf[64];
        ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return Silent;
        in.append(buf, static_cast<std::size_t>(n));
    }
    return in.substr(0, instance::Ack.size()) == instance::Ack ? Answered : Silent;
}

} // namespace quavix
