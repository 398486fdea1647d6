#pragma once
// Process services: the command line, the single running instance, the event pump.
//
// - commandLine(): the program's arguments joined by single blanks ("" without arguments).
// - playListEntries(): the arguments as play-list entries, one per argument and in order: a
//   file name made absolute against the folder the program was started in, a stream
//   address as typed. Empty without arguments.
// - previousInstance(): true when another instance of this user runs and answers.
// - title()/setTitle(): the application title; the running instance is found by it.
// - activateWindow(title): asks the running instance with that title to show, restore and
//   activate its main window; true once it acknowledged (within 1 s), false otherwise.
// - processEvents(): runs pending window events once (handlers may run nested here).
// - waitForEvents(ms): lets ms milliseconds pass, then returns; meanwhile window events,
//   timers, D-Bus and accessibility calls and media events are handled as they arrive
//   (handlers may run nested here, as in processEvents). 0 or less handles what is
//   pending once. Never busy: the thread sleeps between events. A loop that waits for a
//   condition checks it after every wait, so it sees a change within ms.
// - endProgram(status): ends the process at once with that exit status (0 unless something
//   the user asked for failed); stores are consistent on disk because every write is
//   atomic. The real one never returns; a test double may throw.
#include <string>
#include <vector>

namespace quavix {

class Process {
public:
    virtual ~Process() = default;
    virtual std::string commandLine() = 0;
    virtual std::vector<std::string> playListEntries() = 0;
    virtual bool previousInstance() = 0;
    virtual std::string title() = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual bool activateWindow(const std::string& title) = 0;
    virtual void processEvents() = 0;
    virtual void waitForEvents(int milliseconds) = 0;
    virtual void endProgram(int status = 0) = 0;
};

} // namespace quavix
