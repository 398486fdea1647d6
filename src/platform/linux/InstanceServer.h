#pragma once
// The running instance's end of the per-user abstract socket (see
// platform/posix/InstanceClient.h for the protocol). Answers "PING" and "ACTIVATE <title>"
// with "ACK" after running the activation callback; peers of another user are dropped
// unanswered.
#include <QObject>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace quavix {

class InstanceServer : public QObject {
    Q_OBJECT
public:
    // onActivate: show, restore and activate the main window (runs on the UI thread).
    explicit InstanceServer(std::function<void()> onActivate, QObject* parent = nullptr);
    ~InstanceServer() override;
    // Takes the name ("" = instance::socketName()). False when another process holds it:
    // then an instance runs already.
    bool listen(const std::string& name = {});
    bool isListening() const;
    int activations() const { return m_activations; }

private:
    void accept();
    void serve(QLocalSocket* socket);
    std::function<void()> m_onActivate;
    QLocalServer* m_server;
    int m_activations = 0;
};

} // namespace quavix
