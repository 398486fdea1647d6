#include "ToolkitPreload.h"

#include <QLibraryInfo>
#include <dlfcn.h>
#include <string_view>

namespace quavix::toolkit {

namespace {
bool isSet(const Environment& env, const char* name)
{
    const char* value = env(name);
    return value && *value;
}

std::string_view value(const Environment& env, const char* name)
{
    const char* v = env(name);
    return v ? std::string_view(v) : std::string_view();
}
} // namespace

std::vector<std::string> toolkitPreloads(const Environment& env, const std::string& pluginFolder)
{
    const std::string_view platform = value(env, "QT_QPA_PLATFORM");
    const bool x11 =
        platform == "xcb" || (platform.empty() && value(env, "XDG_SESSION_TYPE") != "wayland");
    if (!x11 || !isSet(env, "DISPLAY") || pluginFolder.empty() || isSet(env, "QT_PLUGIN_PATH") ||
        isSet(env, "QT_QPA_PLATFORM_PLUGIN_PATH"))
        return {};
    std::vector<std::string> out = {pluginFolder + "/platforms/libqxcb.so", "libXcursor.so.1"};
    const std::string_view inputMethod = value(env, "QT_IM_MODULE");
    if (inputMethod.empty() || inputMethod == "compose")
        out.push_back(pluginFolder +
                      "/platforminputcontexts/libcomposeplatforminputcontextplugin.so");
    return out;
}

std::string defaultPluginFolder()
{
    return QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
}

void preload(const std::vector<std::string>& libraries)
{
    for (const std::string& library : libraries)
        ::dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL); // kept open: the toolkit uses it
}

} // namespace quavix::toolkit
