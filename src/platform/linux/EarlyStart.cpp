#include "EarlyStart.h"

#include "platform/linux/ToolkitPreload.h"
#include "platform/posix/InstanceClient.h"
#include "platform/posix/XdgPaths.h"

#include <cstdlib>

namespace quavix {

EarlyStart::EarlyStart(std::function<void()> onActivate) : m_server(std::move(onActivate))
{
    // What the thread needs of the environment, read here; the options store took its path
    // when it was made.
    m_thread = std::thread(
        [this, toolkit = toolkit::toolkitPreloads(std::getenv, toolkit::defaultPluginFolder()),
         socket = instance::socketName(), profile = xdg::defaultProfilePath()] {
            toolkit::preload(toolkit); // first: the toolkit asks for them soonest
            m_server.listen(socket);
            // What is asked does not matter: the first read keeps the whole file.
            m_profile.read("File Locations", "FileList", "", profile);
            m_options.get("Quavix", "Options", "Volume", "");
        });
}

EarlyStart::~EarlyStart()
{
    finish();
}

EarlyStart::Done EarlyStart::finish()
{
    if (m_thread.joinable())
        m_thread.join();
    return {m_server, m_profile, m_options};
}

} // namespace quavix
