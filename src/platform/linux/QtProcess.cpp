#include "QtProcess.h"

#include "InstanceServer.h"

#include <QCoreApplication>
#include <QThread>
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
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
    QCoreApplication::processEvents();
}

void QtProcess::endProgram(int status)
{
    if (auto hook = std::exchange(m_beforeEnd, nullptr))
        hook();
    // Every store write is already on disk (each is an atomic replace); ending without
    // destructors keeps the media framework and the windows from running late handlers.
    std::fflush(nullptr);
    ::_exit(status);
}

} // namespace quavix
