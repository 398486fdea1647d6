#include "BusProbe.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quavix::bus {

namespace {

using Clock = std::chrono::steady_clock;

// One unix connection with a deadline for everything done on it.
class Connection {
public:
    explicit Connection(Clock::time_point deadline) : m_deadline(deadline) {}
    ~Connection()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open(const std::string& path, bool abstract, std::string& why)
    {
        sockaddr_un a{};
        const std::size_t room = sizeof a.sun_path - (abstract ? 1 : 0);
        if (path.empty() || path.size() >= room) {
            why = "unusable socket name";
            return false;
        }
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        // A path ends with its NUL; an abstract name starts with one.
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&a), length) != 0 && errno != EINPROGRESS &&
            errno != EAGAIN) {
            why = std::strerror(errno);
            return false;
        }
        if (!wait(POLLOUT, why))
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            why = std::strerror(error);
            return false;
        }
        return true;
    }

    bool send(std::string_view data, std::string& why)
    {
        while (!data.empty()) {
            const ssize_t n = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n > 0) {
                data.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                why = std::strerror(errno);
                return false;
            }
            if (!wait(POLLOUT, why))
                return false;
        }
        return true;
    }

    // Reads until `enough` says the bytes so far are enough.
    template <class Enough> bool receive(std::string& into, Enough enough, std::string& why)
    {
        char chunk[4096];
        while (!enough(into)) {
            if (into.size() > (1u << 20)) {
                why = "an answer too large";
                return false;
            }
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                into.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) {
                why = "it closed the connection";
                return false;
            }
            if (errno != EAGAIN && errno != EINTR) {
                why = std::strerror(errno);
                return false;
            }
            if (!wait(POLLIN, why))
                return false;
        }
        return true;
    }

private:
    bool wait(short events, std::string& why)
    {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
            if (left.count() <= 0) {
                why = "no answer in time";
                return false;
            }
            pollfd p{m_fd, events, 0};
            const int r = ::poll(&p, 1, static_cast<int>(left.count()));
            if (r > 0)
                return true;
            if (r < 0 && errno != EINTR) {
                why = std::strerror(errno);
                return false;
            }
        }
    }

    Clock::time_point m_deadline;
    int m_fd = -1;
};

// The few messages asked here, little-endian, as the wire format lays them out.
class Message {
public:
    Message(std::uint32_t serial, std::uint8_t flags)
    {
        m_bytes = {'l', 1 /* method call */, static_cast<char>(flags), 1};
        put32(0); // body length: none
        put32(serial);
        put32(0); // header fields' length, set in done()
    }
    Message& field(std::uint8_t code, char type, std::string_view value)
    {
        align(8);
        m_bytes += static_cast<char>(code);
        m_bytes += '\1';
        m_bytes += type;
        m_bytes += '\0';
        align(4);
        put32(static_cast<std::uint32_t>(value.size()));
        m_bytes.append(value);
        m_bytes += '\0';
        return *this;
    }
    std::string done()
    {
        const auto fields = static_cast<std::uint32_t>(m_bytes.size() - 16);
        std::memcpy(&m_bytes[12], &fields, 4);
        align(8);
        return m_bytes;
    }

private:
    void align(std::size_t n)
    {
        while (m_bytes.size() % n)
            m_bytes += '\0';
    }
    void put32(std::uint32_t v) { m_bytes.append(reinterpret_cast<const char*>(&v), 4); }
    std::string m_bytes;
};

std::string call(std::uint32_t serial, std::string_view destination, std::string_view path,
                 std::string_view interface, std::string_view member, std::uint8_t flags = 0)
{
    return Message(serial, flags)
        .field(1, 'o', path)
        .field(2, 's', interface)
        .field(3, 's', member)
        .field(6, 's', destination)
        .done();
}

std::uint32_t read32(std::string_view b, std::size_t at, bool little)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
        v |= static_cast<std::uint32_t>(byte) << (little ? 8 * i : 8 * (3 - i));
    }
    return v;
}

// A whole message at the front of `b`: its size, or 0 while it is incomplete.
std::size_t messageSize(std::string_view b)
{
    if (b.size() < 16)
        return 0;
    const bool little = b[0] == 'l';
    const std::size_t fields = read32(b, 12, little);
    const std::size_t header = (16 + fields + 7) / 8 * 8;
    const std::size_t total = header + read32(b, 4, little);
    return b.size() >= total ? total : 0;
}

struct Reply {
    int type = 0; // 2 return, 3 error
    std::uint32_t replyTo = 0;
    std::string firstString; // of the body, when it starts with one
};

Reply parse(std::string_view m)
{
    Reply r;
    const bool little = m[0] == 'l';
    r.type = static_cast<unsigned char>(m[1]);
    const std::size_t end = 16 + read32(m, 12, little);
    std::size_t at = 16;
    while (at + 4 <= end) {
        at = (at + 7) / 8 * 8;
        if (at + 4 > end)
            break;
        const auto code = static_cast<unsigned char>(m[at]);
        const std::size_t sigLength = static_cast<unsigned char>(m[at + 1]);
        const char type = sigLength ? m[at + 2] : '\0';
        at += 2 + sigLength + 1;
        if (type == 'u' || type == 's' || type == 'o') {
            at = (at + 3) / 4 * 4;
            if (at + 4 > end)
                break;
            const std::uint32_t v = read32(m, at, little);
            if (code == 5 && type == 'u')
                r.replyTo = v;
            at += 4 + (type == 'u' ? 0 : v + 1);
        } else if (type == 'g') {
            at += static_cast<unsigned char>(m[at]) + 2u;
        } else {
            break; // no other field types come in replies
        }
    }
    const std::size_t body = (end + 7) / 8 * 8;
    if (body + 4 <= m.size()) {
        const std::uint32_t length = read32(m, body, little);
        if (body + 4 + length <= m.size())
            r.firstString = std::string(m.substr(body + 4, length));
    }
    return r;
}

// An authenticated connection that has said Hello; false with `why` otherwise, and
// `absent` when nothing took the connection.
bool greet(Connection& c, const std::string& address, std::string& why, bool* absent = nullptr)
{
    std::string path;
    bool abstract = false;
    const std::size_t colon = address.find(':');
    std::string_view rest = std::string_view(address).substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        for (const char* key : {"path=", "abstract="})
            if (pair.substr(0, std::strlen(key)) == key) {
                path = std::string(pair.substr(std::strlen(key)));
                abstract = key[0] == 'a';
            }
    }
    // Values may carry %XX escapes.
    std::string unescaped;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            unescaped += static_cast<char>(std::strtol(path.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            unescaped += path[i];
        }
    }
    if (!c.open(unescaped, abstract, why)) {
        if (absent)
            *absent = true;
        return false;
    }
    std::string uid;
    for (char d : std::to_string(::getuid())) {
        static constexpr char hex[] = "0123456789abcdef";
        uid += hex[static_cast<unsigned char>(d) >> 4];
        uid += hex[static_cast<unsigned char>(d) & 15];
    }
    std::string answer;
    if (!c.send(std::string("\0AUTH EXTERNAL ", 15) + uid + "\r\n", why) ||
        !c.receive(
            answer, [](const std::string& a) { return a.find("\r\n") != a.npos; }, why))
        return false;
    if (answer.rfind("OK ", 0) != 0) {
        why = "it refused us";
        return false;
    }
    if (!c.send("BEGIN\r\n" + call(1, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "Hello"),
                why))
        return false;
    std::string in;
    return c.receive(in, messageSize, why);
}

struct UnixAddress {
    std::string address;
    bool unix = false;
};

std::vector<UnixAddress> alternatives(const std::string& list)
{
    std::vector<UnixAddress> out;
    std::string_view rest = list;
    while (!rest.empty()) {
        const std::size_t semi = rest.find(';');
        const std::string_view one = rest.substr(0, semi);
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        if (one.empty())
            continue;
        const bool unix = one.substr(0, 5) == "unix:" &&
                          (one.find("path=") != one.npos || one.find("abstract=") != one.npos);
        out.push_back({std::string(one), unix});
    }
    return out;
}

} // namespace

Answer probe(const std::string& address, std::chrono::milliseconds deadline)
{
    const auto until = Clock::now() + deadline;
    Answer a;
    a.why = "no address";
    a.absent = true;
    for (const UnixAddress& one : alternatives(address)) {
        if (!one.unix)
            return {true, false, {}};
        Connection c(until);
        bool absent = false;
        if (greet(c, one.address, a.why, &absent))
            return {true, false, {}};
        a.absent = a.absent && absent;
    }
    return a;
}

std::optional<std::string> accessibilityAddress(const std::string& sessionAddress,
                                                std::chrono::milliseconds deadline,
                                                std::string& why)
{
    const auto until = Clock::now() + deadline;
    for (const UnixAddress& one : alternatives(sessionAddress)) {
        if (!one.unix)
            return std::string();
        Connection c(until);
        if (!greet(c, one.address, why))
            continue;
        // Not started for us: a desktop without screen readers has nothing to wait for.
        constexpr std::uint8_t NoAutoStart = 2;
        if (!c.send(
                call(2, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", NoAutoStart),
                why))
            return std::nullopt;
        std::string in;
        for (;;) {
            if (!c.receive(in, messageSize, why))
                return std::nullopt;
            const std::size_t size = messageSize(in);
            const Reply r = parse(std::string_view(in).substr(0, size));
            in.erase(0, size);
            if (r.replyTo != 2)
                continue; // Hello's reply and the bus's greetings
            if (r.type == 2)
                return r.firstString;
            return std::string(); // no such service: no accessibility bus
        }
    }
    return std::nullopt;
}

std::vector<std::string> settleBeforeToolkit(std::chrono::milliseconds deadline)
{
    std::vector<std::string> lines;
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session)
        return lines;
    const Answer a = probe(session, deadline);
    if (!a.answers && a.absent)
        return lines; // no bus: every connection to it fails at once anyway
    if (!a.answers) {
        lines.push_back("quavix: the session bus (" + std::string(session) + ") does not answer (" +
                        a.why +
                        "); going on without it: no media controls, screen readers or "
                        "window following on Wayland this time");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", Unreachable, 1);
        return lines;
    }
    const char* forced = std::getenv("AT_SPI_BUS_ADDRESS");
    std::string why;
    std::optional<std::string> a11y;
    if (forced && *forced)
        a11y = forced;
    else
        a11y = accessibilityAddress(session, deadline, why);
    if (a11y && a11y->empty())
        return lines;
    Answer reader;
    if (a11y) {
        reader = probe(*a11y, deadline);
        why = reader.why;
    }
    if (a11y && !reader.answers && reader.absent)
        return lines;
    if (!a11y || !reader.answers) {
        lines.push_back("quavix: the accessibility bus does not answer (" + why +
                        "); screen readers cannot reach Quavix this time");
        ::setenv("AT_SPI_BUS_ADDRESS", Unreachable, 1);
    }
    return lines;
}

} // namespace quavix::bus
