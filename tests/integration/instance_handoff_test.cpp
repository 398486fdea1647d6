// The hand-off between two real processes: the built launcher against an instance server
// in this process, and against a started quavix-gui.
#include "platform/linux/InstanceServer.h"
#include "platform/posix/InstanceClient.h"
#include "support/LocalHttpServer.h"
#include "support/Rig.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
        std::filesystem::create_directories(box.path("songs"));
        p.setWorkingDirectory(QString::fromStdString(box.path("songs")));
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

} // namespace

TEST_F(HandOffTest, LauncherHandsTheFileToTheRunningInstance)
{
    int activated = 0;
    InstanceServer server([&] { ++activated; });
    ASSERT_TRUE(server.listen());
    InstanceServer second([] {});
    EXPECT_FALSE(second.listen()); // the name is taken: one instance per name

    // One entry per word, relative ones from the folder the launcher ran in.
    EXPECT_EQ(runLauncher({"/my music/a.mp3", "--x", "b c.mp3"}), 0);
    EXPECT_EQ(readText(list), "first.mp3\r\n/my music/a.mp3\r\n" + box.path("songs/--x") + "\r\n" +
                                  box.path("songs/b c.mp3") + "\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return activated == 1; }, 2000));
    EXPECT_EQ(server.activations(), 1);
    EXPECT_EQ(guiStarted(), "<not started>");
}

// A name longer than a socket name can be still makes one instance of each start.
TEST_F(HandOffTest, AnOverlongInstanceNameStillFindsTheInstance)
{
    ::setenv("QUAVIX_INSTANCE_NAME", (name + std::string(300, 'x')).c_str(), 1);
    InstanceServer server([] {});
    ASSERT_TRUE(server.listen());
    EXPECT_EQ(runLauncher({"/e.mp3"}), 0);
    EXPECT_EQ(readText(list), "first.mp3\r\n/e.mp3\r\n");
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

// A station service and the desktop strip of one user: neither takes the other for the
// running instance, and the launcher hands a station nothing and starts it even while a
// strip runs.
TEST_F(HandOffTest, AStationAndTheStripAreInstancesOfTheirOwn)
{
    InstanceServer station([] {});
    ASSERT_TRUE(station.listen(instance::stationSocketName()));
    EXPECT_EQ(InstanceClient().ping(), InstanceClient::Answer::None);
    EXPECT_EQ(runLauncher({"/a.mp3"}), 0);
    EXPECT_EQ(guiStarted(), "|/a.mp3"); // no strip runs: the file starts one
    EXPECT_EQ(readText(list), "first.mp3\r\n");

    int activated = 0;
    InstanceServer strip([&] { ++activated; });
    ASSERT_TRUE(strip.listen());
    InstanceServer secondStation([] {});
    EXPECT_FALSE(secondStation.listen(instance::stationSocketName())); // one station a user
    EXPECT_EQ(runLauncher({"--station", "/srv/station.ini"}), 0);
    EXPECT_EQ(guiStarted(), "|--station /srv/station.ini");
    EXPECT_EQ(readText(list), "first.mp3\r\n");
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

// Holds the name but never accepts nor answers: what a stopped (SIGSTOP) instance looks like.
struct StoppedInstance {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    explicit StoppedInstance(const std::string& name)
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path + 1, name.data(), name.size());
        auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(fd, 8), 0);
    }
    ~StoppedInstance() { ::close(fd); }
};

// A stopped instance still owns the play list: the file is appended for it to play when it
// goes on, no second instance starts (it would rewrite the list), and the launcher says so.
TEST_F(HandOffTest, AStoppedInstanceGetsTheFileAndNoSecondInstanceStarts)
{
    StoppedInstance stopped(name);
    EXPECT_EQ(runLauncher({"/d.mp3"}), 1);
    EXPECT_EQ(readText(list), "first.mp3\r\n/d.mp3\r\n");
    EXPECT_EQ(guiStarted(), "<not started>");
}

// A real quavix-gui on the offscreen platform, ended by SIGTERM when the test is done.
struct RunningGui {
    const std::string exe = BuildDir + "/src/app/quavix-gui";
    QProcess p;
    bool start(const QStringList& args = {})
    {
        if (!std::filesystem::exists(exe))
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUAVIX_AUDIO_SINK", "fakesink sync=true");
        // XDG_DATA_DIRS is the sandbox's: no GSettings schemas, as in a bare session.
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(exe), args);
        EXPECT_TRUE(p.waitForStarted(5000));
        return true;
    }
    ~RunningGui()
    {
        if (p.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
            p.waitForFinished(5000);
        }
    }
};

// A real quavix-gui, stalled on the UI thread at that: it still takes the file.
TEST_F(HandOffTest, AQuavixGuiStalledInAStreamOpenStillTakesTheFile)
{
    quavix::testing::LocalHttpServer stream("", quavix::testing::LocalHttpServer::Stall);
    RunningGui running;
    // Started with the address, the instance opens it at once and waits on the UI thread.
    if (!running.start({QString::fromStdString(stream.url())}))
        GTEST_SKIP() << "quavix-gui is not built";
    ASSERT_TRUE(QTest::qWaitFor([&] { return stream.stalling(); }, 20000))
        << running.p.readAllStandardError().toStdString();

    EXPECT_EQ(runLauncher({"/f.mp3"}, BuildDir + "/src/app/quavix"), 0);
    // Answered while the open still waits, without a second instance, and the play list
    // kept what it held.
    EXPECT_TRUE(stream.stalling());
    EXPECT_EQ(readText(list), stream.url() + "\r\n/f.mp3\r\n");
    EXPECT_EQ(running.p.state(), QProcess::Running);
}
