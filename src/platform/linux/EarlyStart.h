#pragma once
// What the strip's start-up does on a second thread while the UI thread settles the message
// buses and builds the toolkit, which needs milliseconds to load its plugins and reach the
// display: it loads those plugins ahead of the toolkit (ToolkitPreload.h), opens the door for
// second starts (the instance server's socket) and reads the profile and the options the
// strip is laid out with, so that the UI thread finds them in memory.
//
// The thread touches only the objects made here, each of which says that one thread may use
// it before another takes it over: the instance server's listen(), the profile reader and
// the options store. It reads no environment variable: what it needs of the environment
// (the plugins, the socket's name, the profile's file) is resolved on the UI thread before it
// starts, because the UI thread writes the environment meanwhile (a bus that does not answer
// is given up, the toolkit's platform is chosen) and a setenv may move the array that a
// getenv on another thread is reading.
//
// finish() waits for the thread and is the UI thread's only way to the objects: from then on
// they are the UI thread's alone.
#include "platform/linux/InstanceServer.h"
#include "platform/posix/IniOptionsStore.h"
#include "platform/posix/IniProfile.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quavix {

class EarlyStart {
public:
    // Starts the thread. onActivate: what a second start's activation does (InstanceServer).
    explicit EarlyStart(std::function<void()> onActivate);
    ~EarlyStart();
    EarlyStart(const EarlyStart&) = delete;
    EarlyStart& operator=(const EarlyStart&) = delete;

    struct Done {
        InstanceServer& server;
        IniProfile& profile;
        IniOptionsStore& options;
    };
    // Waits for the thread (at once when it is done); call on the UI thread, again if need be.
    Done finish();

private:
    InstanceServer m_server;
    IniProfile m_profile;
    IniOptionsStore m_options;
    std::thread m_thread;
};

} // namespace quavix
