// Which of the toolkit's plugins start-up loads ahead of it: only those the toolkit itself
// will load in the environment at hand.
#include "platform/linux/ToolkitPreload.h"

#include <gtest/gtest.h>
#include <map>

using quavix::toolkit::toolkitPreloads;

namespace {
std::vector<std::string> preloads(std::map<std::string, std::string> vars)
{
    auto env = [&vars](const char* name) -> const char* {
        auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
    return toolkitPreloads(env, "/qt/plugins");
}
} // namespace

TEST(ToolkitPreload, NamesOnlyWhatTheToolkitWillLoad)
{
    const std::vector<std::string> x11 = {
        "/qt/plugins/platforms/libqxcb.so", "libXcursor.so.1",
        "/qt/plugins/platforminputcontexts/libcomposeplatforminputcontextplugin.so"};
    EXPECT_EQ(preloads({{"DISPLAY", ":0"}}), x11);
    EXPECT_EQ(preloads({{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "xcb"}}), x11);
    EXPECT_EQ(preloads({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}), x11);
    // Another input method: its plugin is not ours to guess.
    EXPECT_EQ(preloads({{"DISPLAY", ":0"}, {"QT_IM_MODULE", "ibus"}}).size(), 2u);

    // Another platform, no display, or plugins from elsewhere: nothing.
    for (const auto& vars : std::vector<std::map<std::string, std::string>>{
             {},
             {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "offscreen"}},
             {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland;xcb"}},
             {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}},
             {{"DISPLAY", ":0"}, {"QT_PLUGIN_PATH", "/opt/plugins"}},
             {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM_PLUGIN_PATH", "/opt/platforms"}}})
        EXPECT_TRUE(preloads(vars).empty()) << vars.size();
}
