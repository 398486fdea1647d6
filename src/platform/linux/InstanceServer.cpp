#include "InstanceServer.h"

#include "platform/posix/InstanceClient.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <sys/socket.h>
#include <unistd.h>

namespace quavix {

namespace {
constexpr qint64 MaxRequest = 4096;

bool sameUser(QLocalSocket* socket)
{
    ucred peer{};
    socklen_t len = sizeof peer;
    return ::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                        &peer, &len) == 0 &&
           peer.uid == ::getuid();
}
} // namespace

InstanceServer::InstanceServer(std::function<void()> onActivate, QObject* parent)
    : QObject(parent), m_onActivate(std::move(onActivate)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listen(const std::string& name)
{
    std::string n = name.empty() ? instance::socketName() : name;
    return m_server->listen(QString::fromStdString(n));
}

bool InstanceServer::isListening() const
{
    return m_server->isListening();
}

void InstanceServer::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(socket)) {
            socket->abort();
            continue;
        }
        // A peer that never finishes its line must not keep the socket forever.
        QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        if (socket->bytesAvailable() > 0)
            serve(socket);
    }
}

void InstanceServer::serve(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequest)
            socket->abort();
        return;
    }
    QByteArray line = socket->readLine(MaxRequest);
    if (line.endsWith('\n'))
        line.chop(1);
    auto request = instance::parse(std::string_view(line.constData(), line.size()));
    if (!request) {
        socket->abort();
        return;
    }
    if (request->kind == instance::Request::Activate) {
        ++m_activations;
        if (m_onActivate)
            m_onActivate();
    }
    socket->write(instance::Ack.data(), static_cast<qint64>(instance::Ack.size()));
    socket->disconnectFromServer();
}

} // namespace quavix
