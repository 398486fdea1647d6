#include "QtProcess.h"

#include "InstanceServer.h"
#include "platform/posix/LineWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace quavix {

QtProcess::QtProcess(std::vector<std::string> arguments, const InstanceServer* server)
    : PosixProcess(std::move(arguments)), m_server(server)
{
}

bool QtProcess::previousInstance()
{
    if (m_server && m_server->isListening())
        return false;
    return PosixProcess::previousInstance();
}

void QtProcess::processEvents()
{
    QCoreApplication::processEvents();
}

void QtProcess::waitForEvents(int milliseconds)
{
    if (milliseconds <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    // The time is spent in the event loop, so a screen reader, a panel's media widget or a
    // click is answered when it comes, not when the wait is over.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    // A loop ends at once while the application is on its way out; the wait must still
    // last its time, or the caller's loop would spin.
    const qint64 left = milliseconds - clock.elapsed();
    if (left > 0) {
        QThread::msleep(static_cast<unsigned long>(left));
        QCoreApplication::processEvents();
    }
}

void QtProcess::endProgram(int status)
{
    if (auto hook = std::exchange(m_beforeEnd, nullptr))
        hook();
    // Every store write is already on disk (each is an atomic replace); ending without
    // destructors keeps the media framework and the windows from running late handlers.
    drainStandardError(EndDrainMs);
    std::fflush(nullptr);
    ::_exit(status);
}

} // namespace quavix
