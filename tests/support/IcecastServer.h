#pragma once
// A private Icecast server on the loopback for tests and benchmarks: its own configuration
// in a temporary folder, a free port, ended with the object. As root the server must hand
// itself to an unprivileged user ("nobody"), who then needs to reach its log folder.
#include "platform/Broadcast.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix::testing {

class IcecastServer {
public:
    static constexpr const char* Password = "quavix-source-secret";

    ~IcecastServer() { kill(); }

    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("icecast2")).isEmpty();
    }

    // Starts the server on `port` (a free one when 0) and waits until it takes connections.
    bool start(int port = 0)
    {
        m_port = port ? port : freePort();
        const QString dir = m_dir.path();
        QDir().mkpath(dir + "/log");
        QString owner;
        if (::geteuid() == 0) {
            owner = "<changeowner><user>nobody</user><group>nogroup</group></changeowner>";
            ::chmod(dir.toLocal8Bit().constData(), 0711);
            ::chmod((dir + "/log").toLocal8Bit().constData(), 0777);
        }
        QFile config(dir + "/icecast.xml");
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(
            QStringLiteral("<icecast><location>loopback</location><admin>nobody@localhost</admin>"
                           "<limits><clients>20</clients><sources>4</sources>"
                           "<source-timeout>10</source-timeout><burst-size>65536</burst-size>"
                           "</limits><authentication><source-password>%1</source-password>"
                           "<admin-user>admin</admin-user><admin-password>%1-admin"
                           "</admin-password></authentication><hostname>127.0.0.1</hostname>"
                           "<listen-socket><port>%2</port><bind-address>127.0.0.1</bind-address>"
                           "</listen-socket><fileserve>1</fileserve><paths>"
                           "<basedir>/usr/share/icecast2</basedir><logdir>%3/log</logdir>"
                           "<webroot>/usr/share/icecast2/web</webroot>"
                           "<adminroot>/usr/share/icecast2/admin</adminroot></paths><logging>"
                           "<accesslog>access.log</accesslog><errorlog>error.log</errorlog>"
                           "<loglevel>2</loglevel></logging><security><chroot>0</chroot>%4"
                           "</security></icecast>")
                .arg(Password)
                .arg(m_port)
                .arg(dir, owner)
                .toUtf8());
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // Ends with the test even when the test does not end well.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(QStringLiteral("icecast2"), {QStringLiteral("-c"), config.fileName()});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 200; ++i) {
            if (accepts())
                return true;
            QThread::msleep(25);
        }
        return false;
    }

    // The server goes away at once, as a crash or a pulled cable would have it.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    int port() const { return m_port; }

    BroadcastSettings settings(const std::string& mount) const
    {
        BroadcastSettings s;
        s.host = "127.0.0.1";
        s.port = m_port;
        s.mount = mount;
        s.password = Password;
        return s;
    }

private:
    static int freePort()
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(fd);
        return ntohs(a.sin_port);
    }

    bool accepts() const
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(m_port));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return ok;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

} // namespace quavix::testing
