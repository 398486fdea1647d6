#pragma once
// Process services of the full program (see platform/Process.h): the toolkit's event pump
// and the instance socket. An instance that holds the socket itself is the only one, so
// previousInstance() asks the socket only when this process could not take it.
#include "platform/posix/PosixProcess.h"

namespace quavix {

class InstanceServer;

class QtProcess : public PosixProcess {
public:
    QtProcess(std::vector<std::string> arguments, const InstanceServer* server);
    bool previousInstance() override;
    void processEvents() override;
    void sleep(int milliseconds) override;
    [[noreturn]] void endProgram(int status = 0) override;

private:
    const InstanceServer* m_server;
};

} // namespace quavix
