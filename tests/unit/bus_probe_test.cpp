// Whether a message bus answers, asked within a deadline: a real bus daemon, the same
// daemon stopped, a socket nobody reads and addresses that name nothing.
#include "platform/posix/BusProbe.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace bus = quavix::bus;

namespace {

// A session bus daemon of the test's own, ended with the test.
class Daemon {
public:
    Daemon()
    {
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out)
            return;
        char line[512];
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

template <class F> std::chrono::milliseconds timed(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace

TEST(BusProbe, ARunningBusAnswersAStoppedOneOrADeafSocketDoesNotInTime)
{
    Daemon daemon;
    ASSERT_FALSE(daemon.address.empty()) << "dbus-daemon did not start";
    EXPECT_TRUE(bus::probe(daemon.address, 1000ms).answers);
    std::string why;
    // No screen reader runs there, and asking does not start one.
    EXPECT_EQ(bus::accessibilityAddress(daemon.address, 1000ms, why), std::string()) << why;

    ::kill(daemon.pid, SIGSTOP);
    bus::Answer stopped;
    EXPECT_LT(timed([&] { stopped = bus::probe(daemon.address, 300ms); }), 1000ms);
    EXPECT_FALSE(stopped.answers);
    EXPECT_FALSE(stopped.absent);
    EXPECT_FALSE(stopped.why.empty());
    EXPECT_LT(timed([&] {
                  EXPECT_EQ(bus::accessibilityAddress(daemon.address, 300ms, why), std::nullopt);
              }),
              1000ms);

    DeafSocket deaf;
    EXPECT_LT(timed([&] { EXPECT_FALSE(bus::probe("unix:path=" + deaf.path, 300ms).answers); }),
              1000ms);
    // One alternative of a list that answers is enough.
    ::kill(daemon.pid, SIGCONT);
    EXPECT_TRUE(bus::probe("unix:path=/nonexistent/bus;" + daemon.address, 1000ms).answers);
}

TEST(BusProbe, AddressesThatNameNothingFailAtOnce)
{
    for (const char* address : {"unix:path=/nonexistent/bus", bus::Unreachable, "", "unix:path="}) {
        bus::Answer a;
        EXPECT_LT(timed([&] { a = bus::probe(address, 1000ms); }), 100ms) << address;
        EXPECT_FALSE(a.answers) << address;
        EXPECT_TRUE(a.absent) << address; // nothing to wait for, nothing to say
    }
    // Transports asked by their own library are not second-guessed.
    EXPECT_TRUE(bus::probe("tcp:host=127.0.0.1,port=1", 100ms).answers);
}
