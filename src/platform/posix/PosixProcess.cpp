#include "PosixProcess.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace quavix {

PosixProcess::PosixProcess(std::vector<std::string> arguments, InstanceClient client)
    : m_arguments(std::move(arguments)), m_client(std::move(client))
{
}

std::vector<std::string> PosixProcess::arguments(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

std::string PosixProcess::commandLine()
{
    std::string text;
    for (std::size_t i = 0; i < m_arguments.size(); ++i) {
        if (i)
            text += ' ';
        text += m_arguments[i];
    }
    return text;
}

bool PosixProcess::previousInstance()
{
    return m_client.ping();
}

bool PosixProcess::activateWindow(const std::string& title)
{
    return m_client.activate(title);
}

void PosixProcess::sleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    timespec ts{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0) {
    }
}

void PosixProcess::endProgram()
{
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace quavix
