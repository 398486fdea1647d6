// The strip's early thread: which of the toolkit's plugins it loads ahead of the toolkit
// (only those the toolkit itself will load in the environment at hand), and that it reads
// no environment while the UI thread may write it.
#include "platform/linux/EarlyStart.h"
#include "platform/linux/ToolkitPreload.h"
#include "support/Rig.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <thread>

// Every getenv of the test program, the libraries it loads included, comes here: the reads
// of threads other than the one watching are counted while it watches.
namespace {
std::atomic<bool> g_watching{false};
std::thread::id g_watcher;
std::atomic<int> g_otherReads{0};
char g_firstOtherRead[64];
} // namespace

extern "C" char* getenv(const char* name) noexcept
{
    if (g_watching.load() && std::this_thread::get_id() != g_watcher &&
        g_otherReads.fetch_add(1) == 0)
        std::strncpy(g_firstOtherRead, name, sizeof g_firstOtherRead - 1);
    const std::size_t length = std::strlen(name);
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=')
            return *entry + length + 1;
    return nullptr;
}

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

TEST(EarlyStart, ReadsNoEnvironmentAndHandsOverWhatItRead)
{
    quavix::testing::Sandbox box;
    box.write("config/quavix/quavix.ini", "[File Locations]\nFileList=/music/list.m3u\n");
    box.write("config/quavix/options.ini", "[Options]\nVolume=-300\n");
    // A strip on X11, so that the toolkit's plugins are loaded too.
    const std::string platform =
        std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    ::unsetenv("QT_QPA_PLATFORM");
    ::setenv("DISPLAY", ":0", 1);
    g_watcher = std::this_thread::get_id();
    g_watching = true;
    {
        quavix::EarlyStart early([] {});
        const quavix::EarlyStart::Done done = early.finish();
        g_watching = false;
        EXPECT_TRUE(done.server.isListening());
        EXPECT_EQ(done.profile.read("File Locations", "FileList", "", ""), "/music/list.m3u");
        EXPECT_EQ(done.options.get("Quavix", "Options", "Volume", ""), "-300");
    }
    ::unsetenv("DISPLAY");
    if (!platform.empty())
        ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    EXPECT_EQ(g_otherReads.load(), 0) << "the first read: " << g_firstOtherRead;
}
