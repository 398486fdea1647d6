#include "PosixProcess.h"

#include "LineWriter.h"
#include "platform/MediaAddress.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
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

std::vector<std::string> absoluteEntries(const std::vector<std::string>& arguments,
                                         const std::string& workingFolder)
{
    std::vector<std::string> entries;
    for (const std::string& word : arguments) {
        if (word.empty()) // names no file
            continue;
        if (word[0] == '/' || isStreamAddress(word) || workingFolder.empty()) {
            entries.push_back(word);
            continue;
        }
        // "./x" is how a name that looks like an option is given; the "./" says nothing more.
        std::string_view name = word;
        while (name.size() > 2 && name.substr(0, 2) == "./")
            name.remove_prefix(2);
        std::string folder = workingFolder;
        if (folder.back() != '/')
            folder += '/';
        entries.push_back(folder + std::string(name));
    }
    return entries;
}

std::vector<std::string> PosixProcess::playListEntries()
{
    // A folder removed under the shell gives no name; the words then stay as typed.
    std::string folder;
    if (char* cwd = ::getcwd(nullptr, 0)) {
        folder = cwd;
        std::free(cwd);
    }
    return absoluteEntries(m_arguments, folder);
}

bool PosixProcess::previousInstance()
{
    // A busy instance answers late, a stopped one not at all: ask again for a few seconds
    // (each ask waits the client's timeout) before taking it as silent.
    constexpr int SilentAsks = 3;
    InstanceClient::Answer answer = InstanceClient::Answer::None;
    for (int ask = 0; ask < SilentAsks; ++ask) {
        answer = m_client.ping();
        if (answer != InstanceClient::Answer::Silent)
            break;
    }
    m_silentHolder = answer == InstanceClient::Answer::Silent ? m_client.holderPid() : 0;
    return answer != InstanceClient::Answer::None;
}

bool PosixProcess::activateWindow(const std::string& title)
{
    return m_client.activate(title);
}

void PosixProcess::waitForEvents(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    timespec ts{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0) {
    }
}

void PosixProcess::endProgram(int status)
{
    // The last lines (why the program ends) belong in the journal, but a reader that does
    // not read must not keep a stopped service from ending.
    drainStandardError(EndDrainMs);
    std::fflush(nullptr);
    ::_exit(status);
}

} // namespace quavix
