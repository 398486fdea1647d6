#pragma once
// Turns SIGTERM, SIGHUP and SIGINT into a call on the UI thread, so that a kill by the
// session, a task manager or the terminal closes the program like the end of a session.
//
// The signal handler only writes the signal number into a pipe (async-signal-safe, errno
// kept); a QSocketNotifier on the pipe's other end calls onSignal(signal number) from the
// event loop, the next time events run (also inside nested loops and modal boxes). SIGHUP
// and SIGINT stay ignored when the program was started with them ignored (nohup, a
// background job of a shell). One instance at a time; the destructor puts the previous
// handlers back.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace quavix {

class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe could not be made (the signals then keep their default action).
    bool installed() const { return m_notifier != nullptr; }

private:
    void readPending();
    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quavix
