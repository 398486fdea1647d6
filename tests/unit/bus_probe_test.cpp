// Whether a message bus answers, asked within a deadline: real bus daemons over each
// transport, the same daemon stopped, sockets nobody reads, a port that drops connections,
// addresses that name nothing, and a screen readers' bus that answers or not.
#include "platform/linux/BusProbe.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace bus = quavix::bus;

namespace {

// A bus daemon of the test's own, ended with the test: the session configuration, or one
// that takes anonymous clients over tcp and nonce-tcp (its address then lists both).
class Daemon {
public:
    explicit Daemon(const std::string& configFile = {})
    {
        const std::string config = configFile.empty() ? "--session" : "--config-file=" + configFile;
        FILE* out = ::popen(
            ("dbus-daemon " + config + " --fork --print-address=1 --print-pid=1 2>/dev/null")
                .c_str(),
            "r");
        if (!out)
            return;
        char line[1024];
        if (std::fgets(line, sizeof line, out))
            address = std::string(line, std::strcspn(line, "\n"));
        if (std::fgets(line, sizeof line, out))
            pid = static_cast<pid_t>(std::atol(line));
        ::pclose(out);
    }
    ~Daemon()
    {
        if (pid > 0) {
            ::kill(pid, SIGCONT);
            ::kill(pid, SIGTERM);
        }
    }
    std::string address;
    pid_t pid = 0;
};

std::string tcpConfig()
{
    const std::string file = "/tmp/quavix-tcp-bus-" + std::to_string(::getpid()) + ".conf";
    std::ofstream(file) << R"(<busconfig>
  <type>session</type>
  <listen>tcp:host=127.0.0.1,port=0</listen>
  <listen>nonce-tcp:host=127.0.0.1,port=0</listen>
  <auth>ANONYMOUS</auth>
  <allow_anonymous/>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>)";
    return file;
}

// Takes connections into its backlog and never reads them: a wedged process's socket.
class DeafSocket {
public:
    DeafSocket()
    {
        path = "/tmp/quavix-deaf-bus-" + std::to_string(::getpid());
        ::unlink(path.c_str());
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(fd, 8), 0);
    }
    ~DeafSocket()
    {
        ::close(fd);
        ::unlink(path.c_str());
    }
    std::string path;
    int fd = -1;
};

// A local tcp port that refuses connections, takes them and never reads them, or (its
// queue full) drops them, as a host behind a firewall does: connect() then waits for
// minutes.
class TcpPort {
public:
    enum Kind { Refusing, Deaf, Dropping };
    explicit TcpPort(Kind kind)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&a), size), 0);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &size);
        port = std::to_string(ntohs(a.sin_port));
        if (kind == Refusing)
            return;
        EXPECT_EQ(::listen(m_fd, kind == Dropping ? 0 : 8), 0);
        if (kind == Dropping) {
            m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            EXPECT_EQ(::connect(m_filler, reinterpret_cast<sockaddr*>(&a), size), 0);
        }
    }
    ~TcpPort()
    {
        ::close(m_fd);
        if (m_filler >= 0)
            ::close(m_filler);
    }
    std::string address(const char* transport = "tcp") const
    {
        return std::string(transport) + ":host=127.0.0.1,port=" + port;
    }
    std::string port;

private:
    int m_fd = -1;
    int m_filler = -1;
};

// The screen readers' service on a session bus, naming `readersBus` as their bus.
class AccessibilityService {
public:
    AccessibilityService(const std::string& session, std::string readersBus)
        : m_readersBus(std::move(readersBus))
    {
        DBusError e;
        dbus_error_init(&e);
        m_c = dbus_connection_open_private(session.c_str(), &e);
        if (!m_c || !dbus_bus_register(m_c, &e) ||
            dbus_bus_request_name(m_c, "org.a11y.Bus", 0, &e) !=
                DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            ADD_FAILURE() << "the screen readers' service did not start: " << e.message;
            dbus_error_free(&e);
            return;
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~AccessibilityService()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_c) {
            dbus_connection_close(m_c);
            dbus_connection_unref(m_c);
        }
    }

private:
    void serve()
    {
        while (!m_stop && dbus_connection_read_write(m_c, 20)) {
            while (DBusMessage* call = dbus_connection_pop_message(m_c)) {
                if (dbus_message_is_method_call(call, "org.a11y.Bus", "GetAddress")) {
                    DBusMessage* reply = dbus_message_new_method_return(call);
                    const char* address = m_readersBus.c_str();
                    dbus_message_append_args(reply, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID);
                    dbus_connection_send(m_c, reply, nullptr);
                    dbus_message_unref(reply);
                }
                dbus_message_unref(call);
            }
        }
    }
    std::string m_readersBus;
    DBusConnection* m_c = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

template <class F> std::chrono::milliseconds timed(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

std::size_t openDescriptors()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// A probe that may not answer: given up within the deadline, and not taken for absent.
void givenUpInTime(const std::string& address)
{
    bus::Answer a;
    EXPECT_LT(timed([&] { a = bus::probe(address, 300ms); }), 1000ms) << address;
    EXPECT_FALSE(a.answers) << address;
    EXPECT_FALSE(a.absent) << address;
    EXPECT_FALSE(a.why.empty()) << address;
}

} // namespace

TEST(BusProbe, ARunningBusAnswersAStoppedOneOrADeafSocketDoesNotInTime)
{
    const std::size_t descriptors = openDescriptors();
    {
        Daemon daemon;
        ASSERT_FALSE(daemon.address.empty()) << "dbus-daemon did not start";
        EXPECT_TRUE(bus::probe(daemon.address, 1000ms).answers);
        std::string why;
        // No screen reader runs there, and asking does not start one.
        EXPECT_EQ(bus::accessibilityAddress(daemon.address, 1000ms, why), std::string()) << why;

        ::kill(daemon.pid, SIGSTOP);
        givenUpInTime(daemon.address);
        EXPECT_LT(timed([&] {
                      EXPECT_EQ(bus::accessibilityAddress(daemon.address, 300ms, why),
                                std::nullopt);
                  }),
                  1000ms);

        DeafSocket deaf;
        givenUpInTime("unix:path=" + deaf.path);
        // One alternative of a list that answers is enough.
        ::kill(daemon.pid, SIGCONT);
        EXPECT_TRUE(bus::probe("unix:path=/nonexistent/bus;" + daemon.address, 1000ms).answers);
    }
    // Every attempt closed its connection, at the latest as its own time ran out.
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (openDescriptors() > descriptors && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    EXPECT_LE(openDescriptors(), descriptors);
}

TEST(BusProbe, AddressesThatNameNothingFailAtOnce)
{
    const TcpPort refused(TcpPort::Refusing);
    for (const std::string& address :
         {std::string("unix:path=/nonexistent/bus"), std::string(bus::Unreachable), std::string(),
          std::string("unix:path="), refused.address(),
          refused.address("nonce-tcp") + ",noncefile=/nonexistent/nonce",
          // Addresses to listen on: no client can connect to them.
          std::string("unix:dir=/tmp"), std::string("unix:tmpdir=/tmp")}) {
        bus::Answer a;
        EXPECT_LT(timed([&] { a = bus::probe(address, 1000ms); }), 100ms) << address;
        EXPECT_FALSE(a.answers) << address;
        EXPECT_TRUE(a.absent) << address; // nothing to wait for, nothing to say
    }
}

TEST(BusProbe, EveryTransportThatTakesAConnectionIsAskedWithinTheDeadline)
{
    const std::string config = tcpConfig();
    Daemon network(config);
    std::filesystem::remove(config);
    const std::size_t semicolon = network.address.find(';');
    ASSERT_NE(semicolon, std::string::npos) << "dbus-daemon over tcp: " << network.address;
    for (const std::string& address :
         {network.address.substr(0, semicolon), network.address.substr(semicolon + 1)})
        EXPECT_TRUE(bus::probe(address, 1000ms).answers) << address;

    const TcpPort deaf(TcpPort::Deaf), dropping(TcpPort::Dropping), refused(TcpPort::Refusing);
    const std::string nonce = "/tmp/quavix-nonce-" + std::to_string(::getpid());
    std::ofstream(nonce) << "0123456789abcdef";
    givenUpInTime(deaf.address());
    givenUpInTime(deaf.address("nonce-tcp") + ",noncefile=" + nonce);
    givenUpInTime(dropping.address());
    std::filesystem::remove(nonce);

    // The first alternative that takes the connection is the bus, as for every client.
    const DeafSocket deafUnix;
    givenUpInTime(refused.address() + ";unix:path=" + deafUnix.path);
    Daemon daemon;
    givenUpInTime("unix:path=" + deafUnix.path + ";" + daemon.address);
}

TEST(BusProbe, AScreenReadersBusThatAnswersIsLeftAloneOneThatDoesNotIsGivenUp)
{
    Daemon session, readers;
    ASSERT_FALSE(session.address.empty() || readers.address.empty()) << "no dbus-daemon";
    AccessibilityService service(session.address, readers.address);
    std::string why;
    EXPECT_EQ(bus::accessibilityAddress(session.address, 1000ms, why), readers.address) << why;

    ::setenv("DBUS_SESSION_BUS_ADDRESS", session.address.c_str(), 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    EXPECT_EQ(bus::settleBeforeToolkit(1000ms), std::vector<std::string>());
    EXPECT_EQ(std::getenv("AT_SPI_BUS_ADDRESS"), nullptr);

    ::kill(readers.pid, SIGSTOP);
    // A program without windows does not care.
    EXPECT_EQ(bus::settleBeforeToolkit(300ms, bus::Buses::Session), std::vector<std::string>());
    EXPECT_EQ(std::getenv("AT_SPI_BUS_ADDRESS"), nullptr);
    const auto lines = bus::settleBeforeToolkit(300ms);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("the accessibility bus does not answer"), std::string::npos)
        << lines[0];
    EXPECT_STREQ(std::getenv("AT_SPI_BUS_ADDRESS"), bus::Unreachable);
    EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), session.address.c_str());
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
