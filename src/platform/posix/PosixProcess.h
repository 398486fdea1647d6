#pragma once
// Process services without the toolkit (see platform/Process.h): what the launcher needs
// for the hand-off. There is no window here, so processEvents() does nothing.
#include "InstanceClient.h"
#include "platform/Process.h"

#include <vector>

namespace quavix {

// The entries for these arguments (see Process::playListEntries) against the folder
// `workingFolder`; an empty folder (the current one is unknown) keeps the names as given.
std::vector<std::string> absoluteEntries(const std::vector<std::string>& arguments,
                                         const std::string& workingFolder);

class PosixProcess : public Process {
public:
    // The arguments after the program's own name.
    explicit PosixProcess(std::vector<std::string> arguments,
                          InstanceClient client = InstanceClient());
    static std::vector<std::string> arguments(int argc, char** argv);

    std::string commandLine() override;
    std::vector<std::string> playListEntries() override;
    // True also for an instance that holds the name but stays silent through a bounded wait
    // (stopped, in a debugger): a second one must not start beside it.
    bool previousInstance() override;
    // The process id of that silent instance after previousInstance(), else 0.
    int silentInstance() const { return m_silentHolder; }
    std::string title() override { return m_title; }
    void setTitle(const std::string& title) override { m_title = title; }
    bool activateWindow(const std::string& title) override;
    void processEvents() override {}
    // No events exist here: the thread sleeps.
    void waitForEvents(int milliseconds) override;
    // Gives standard error's queued lines EndDrainMs, flushes stdio and leaves with the
    // status (no destructors run; stores are atomic).
    [[noreturn]] void endProgram(int status = 0) override;
    static constexpr int EndDrainMs = 300;

protected:
    std::vector<std::string> m_arguments;
    InstanceClient m_client;
    int m_silentHolder = 0;
    std::string m_title = "Quavix";
};

} // namespace quavix
