#pragma once
// The running instance's end of the per-user abstract socket (see
// platform/posix/InstanceClient.h for the protocol). Answers "PING" and "ACTIVATE <title>"
// with "ACK"; peers of another user are dropped unanswered.
//
// Requests are accepted and acknowledged on a small thread of the server's own, so a second
// start gets its answer at once even while the UI thread is busy (opening a network item
// can hold it for seconds). The activation itself is queued: onActivate runs on the thread
// that owns the server when that thread next runs its events. The launcher has written the
// play list line before it asks, so nothing but the window's activation waits.
//
// listen() may run on another thread than the owner's, before the owner's thread uses the
// server and ordered before its first use (a join): the strip's start-up takes the socket on
// its early thread (EarlyStart.h). Everything else runs on the owner's thread.
#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

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
    // Activation requests acknowledged so far (counted on the server's thread).
    int activations() const { return m_activations.load(); }

private:
    void run();
    void activate();
    std::function<void()> m_onActivate;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<int> m_activations{0};
};

} // namespace quavix
