// The hand-off between two real processes: the built launcher against an instance server
// in this process, and against a started quavix-gui.
#include "platform/linux/InstanceServer.h"
#include "platform/posix/InstanceClient.h"
#include "support/Rig.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace {

const std::string BuildDir = QUAVIX_BINARY_DIR;

class HandOffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        name = "quavix-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        ::setenv("QUAVIX_INSTANCE_NAME", name.c_str(), 1);
        list = box.write("list.m3u", "first.mp3\r\n");
        box.write("config/quavix/quavix.ini", "[File Locations]\nFileList=" + list + "\n");
        // The launcher, with a stand-in for the full program next to it that only records
        // how it was started.
        std::filesystem::create_directories(box.path("bin"));
        std::filesystem::copy_file(BuildDir + "/src/app/quavix", box.path("bin/quavix"));
        box.write("bin/quavix-gui", "#!/bin/sh\nprintf '%s|%s' \"$QUAVIX_HANDOFF_UNANSWERED\" "
                                    "\"$*\" > \"" +
                                        box.path("gui-started") + "\"\n");
        ::chmod(box.path("bin/quavix-gui").c_str(), 0755);
    }
    void TearDown() override { ::unsetenv("QUAVIX_INSTANCE_NAME"); }

    // Runs the launcher, serving this process's events meanwhile; its exit code.
    int runLauncher(const QStringList& args, const std::string& exe = {})
    {
        QProcess p;
        p.start(QString::fromStdString(exe.empty() ? box.path("bin/quavix") : exe), args);
        EXPECT_TRUE(p.waitForStarted(5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    std::string guiStarted() const
    {
        return std::filesystem::exists(box.path("gui-started")) ? readText(box.path("gui-started"))
                                                                : "<not started>";
    }

    static inline int counter = 0;
    Sandbox box;
    std::string name, list;
};

// Answers pings but never an activation: an instance that hangs halfway.
class HalfDeafServer : public QObject {
public:
    explicit HalfDeafServer(const std::string& name)
    {
        server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        EXPECT_TRUE(server.listen(QString::fromStdString(name)));
        connect(&server, &QLocalServer::newConnection, this, [this] {
            QLocalSocket* s = server.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s] {
                if (s->canReadLine() && s->readLine() == "PING\n")
                    s->write("ACK\n");
            });
        });
    }
    QLocalServer server;
};

// An http server on 127.0.0.1 that answers one request with headers and then sends
// nothing: a player opening it waits for its deadline. It holds the connection until the
// peer closes it, the test ends, or 20 s pass, whichever comes first.
class StallingServer {
public:
    StallingServer()
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        auto* a = reinterpret_cast<sockaddr*>(&addr);
        if (::bind(m_listen, a, len) != 0 || ::listen(m_listen, 4) != 0 ||
            ::getsockname(m_listen, a, &len) != 0 || ::pipe(m_stop) != 0)
            throw std::runtime_error("cannot listen");
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~StallingServer()
    {
        (void)!::write(m_stop[1], "x", 1);
        m_thread.join();
        for (int fd : {m_listen, m_stop[0], m_stop[1]})
            ::close(fd);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/live.mp3"; }
    // Headers sent, the peer still waiting for data.
    bool stalling() const { return m_stalling; }

private:
    void serve()
    {
        pollfd p[2] = {{m_stop[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        if (::poll(p, 2, 20000) <= 0 || p[0].revents)
            return;
        int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        std::string request;
        char buf[4096];
        for (ssize_t n; request.find("\r\n\r\n") == std::string::npos &&
                        (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
            request.append(buf, static_cast<size_t>(n));
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
        if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == ssize_t(head.size())) {
            m_stalling = true;
            pollfd w[2] = {{m_stop[0], POLLIN, 0}, {fd, POLLIN, 0}};
            ::poll(w, 2, 20000); // the peer closing reads as POLLIN
            m_stalling = false;
        }
        ::close(fd);
    }

    int m_listen = ::socket(AF_INET, SOCK_STREAM, 0), m_port = 0;
    int m_stop[2] = {-1, -1};
    std::atomic<bool> m_stalling{false};
    std::thread m_thread;
};

} // namespace

TEST_F(HandOffTest, LauncherHandsTheFileToTheRunningInstance)
{
    int activated = 0;
    InstanceServer server([&] { ++activated; });
    ASSERT_TRUE(server.listen());
    InstanceServer second([] {});
    EXPECT_FALSE(second.listen()); // the name is taken: one instance per name

    EXPECT_EQ(runLauncher({"/my music/a.mp3", "--x"}), 0);
    EXPECT_EQ(readText(list), "first.mp3\r\n/my music/a.mp3 --x\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return activated == 1; }, 2000));
    EXPECT_EQ(server.activations(), 1);
    EXPECT_EQ(guiStarted(), "<not started>");
}

TEST_F(HandOffTest, LauncherBecomesTheFullProgramOtherwise)
{
    // No instance: the full program starts with the same arguments; nothing is written.
    EXPECT_EQ(runLauncher({"/a.mp3"}), 0);
    EXPECT_EQ(guiStarted(), "|/a.mp3");
    EXPECT_EQ(readText(list), "first.mp3\r\n");

    // No command line: no hand-off even with an instance.
    int activated = 0;
    InstanceServer server([&] { ++activated; });
    ASSERT_TRUE(server.listen());
    EXPECT_EQ(runLauncher({}), 0);
    EXPECT_EQ(guiStarted(), "|");
    EXPECT_EQ(activated, 0);

    // A play list that cannot be written: the full program reports it.
    box.write("config/quavix/quavix.ini",
              "[File Locations]\nFileList=" + box.path("missing/list.m3u") + "\n");
    EXPECT_EQ(runLauncher({"/b.mp3"}), 0);
    EXPECT_EQ(guiStarted(), "|/b.mp3");
    EXPECT_EQ(activated, 0);
}

TEST_F(HandOffTest, AnInstanceThatDoesNotAcknowledgeIsReported)
{
    HalfDeafServer server(name);
    EXPECT_EQ(runLauncher({"/c.mp3"}), 0);
    // The line went in; the full program is told which play list holds it.
    EXPECT_EQ(readText(list), "first.mp3\r\n/c.mp3\r\n");
    EXPECT_EQ(guiStarted(), list + "|/c.mp3");
}

TEST_F(HandOffTest, LauncherHandsOffToARealQuavixGui)
{
    const std::string gui = BuildDir + "/src/app/quavix-gui";
    if (!std::filesystem::exists(gui))
        GTEST_SKIP() << "quavix-gui is not built";
    QProcess running;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUAVIX_AUDIO_SINK", "fakesink sync=true");
    running.setProcessEnvironment(env);
    running.start(QString::fromStdString(gui), {});
    ASSERT_TRUE(running.waitForStarted(5000));
    InstanceClient client(name, 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.ping(); }, 20000));

    EXPECT_EQ(runLauncher({"/e.mp3"}, BuildDir + "/src/app/quavix"), 0);
    EXPECT_EQ(readText(list), "first.mp3\r\n/e.mp3\r\n");
    EXPECT_EQ(running.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
    running.waitForFinished(5000);
}

TEST_F(HandOffTest, AQuavixGuiStalledInAStreamOpenStillTakesTheFile)
{
    const std::string gui = BuildDir + "/src/app/quavix-gui";
    if (!std::filesystem::exists(gui))
        GTEST_SKIP() << "quavix-gui is not built";
    StallingServer stream;
    QProcess running;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUAVIX_AUDIO_SINK", "fakesink sync=true");
    // The http source asks GIO for proxies, which aborts without the system's schemas.
    env.insert("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    running.setProcessEnvironment(env);
    // Started with the address, the instance opens it at once and waits on the UI thread.
    running.start(QString::fromStdString(gui), {QString::fromStdString(stream.url())});
    ASSERT_TRUE(running.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stream.stalling(); }, 20000))
        << running.readAllStandardError().toStdString();

    EXPECT_EQ(runLauncher({"/f.mp3"}, BuildDir + "/src/app/quavix"), 0);
    // Answered while the open still waits, without a second instance, and the play list
    // kept what it held.
    EXPECT_TRUE(stream.stalling());
    EXPECT_EQ(readText(list), stream.url() + "\r\n/f.mp3\r\n");
    EXPECT_EQ(running.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
    running.waitForFinished(5000);
}
