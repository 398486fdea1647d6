#pragma once
// Process services of the full program (see platform/Process.h): the toolkit's event pump
// and the instance socket. An instance that holds the socket itself is the only one, so
// previousInstance() asks the socket only when this process could not take it.
//
// endProgram runs the hook set with setBeforeEnd first, once: what must be closed rather
// than dropped when the process goes (the KWin script of the strip, the station's broadcast
// connection).
#include "platform/posix/PosixProcess.h"

#include <functional>

namespace quavix {

class InstanceServer;

class QtProcess : public PosixProcess {
public:
    QtProcess(std::vector<std::string> arguments, const InstanceServer* server);
    bool previousInstance() override;
    void processEvents() override;
    void waitForEvents(int milliseconds) override;
    [[noreturn]] void endProgram(int status = 0) override;
    void setBeforeEnd(std::function<void()> hook) { m_beforeEnd = std::move(hook); }

private:
    const InstanceServer* m_server;
    std::function<void()> m_beforeEnd;
};

} // namespace quavix
