// Every writer of a file the user owns, on a file behind a symbolic link with permissions
// of the user's choosing: after the write the link is still a link, its target holds the
// new text, and the permissions are what the user set.
#include "engine/PlayCommands.h"
#include "engine/clsActivityLog.h"
#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/posix/IniOptionsStore.h"
#include "playlist/PlayListFile.h"
#include "startup/Globals.h"
#include "startup/HandOff.h"
#include "startup/Services.h"
#include "support/Rig.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace {

struct Writer {
    const char* what;
    std::function<std::string()> path;             // where the program writes
    std::function<bool(const std::string&)> write; // writes through that path
    const char* written;                           // text the new content holds
};

std::string err;

const Writer writers[] = {
    {"options", [] { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/quavix/options.ini"; },
     [](const std::string& p) { return IniOptionsStore(p).save("Quavix", "Options", "Left", "7"); },
     "Left=7"},
    {"play list from the editor",
     [] { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/list.m3u"; },
     [](const std::string& p) { return writePlayListEntries(p, {"/new.mp3"}, err); }, "/new.mp3"},
    {"play list from Play File",
     [] { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/list.m3u"; },
     [](const std::string& p) { return writePlayList(p, {"/new.mp3"}); }, "/new.mp3"},
    {"play list from the command line",
     [] { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/list.m3u"; },
     [](const std::string& p) { return writePlayListLine(p, "/new.mp3", false, err); }, "/new.mp3"},
    {"play list from a hand-off",
     [] { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/list.m3u"; },
     [](const std::string& p) { return writePlayListLine(p, "/new.mp3", true, err); }, "/new.mp3"},
    {"mimeapps.list", [] { return DesktopClassesRegistry::userMimeAppsPath(); },
     [](const std::string&) { return DesktopClassesRegistry().setValue(".MP3", "Quavix"); },
     "audio/mpeg=quavix.desktop"},
    {"desktop entry", [] { return DesktopClassesRegistry::desktopFilePath(); },
     [](const std::string&) { return DesktopClassesRegistry().setValue("Quavix", "Renamed"); },
     "Name=Renamed"},
    {"activity log",
     [] {
         globals().gLogLocation = std::string(std::getenv("XDG_STATE_HOME")) + "/";
         globals().gLogDate = "20261207";
         return clsActivityLog::fLogFileName();
     },
     [](const std::string&) {
         globals().gCurrentTitle = "New Row";
         clsActivityLog().fAppendActivity();
         return true;
     },
     "New Row"},
};

} // namespace

TEST(FileKeeping, LinksAndPermissionsSurviveEveryWriter)
{
    const mode_t oldMask = ::umask(022);
    fakes::FixedClock clock; // the activity log dates its rows
    services().clock = &clock;
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.what);
        Sandbox box;
        const fs::path link = w.path();
        const fs::path real = box.path("elsewhere/real-file");
        fs::create_directories(link.parent_path());
        fs::create_directories(real.parent_path());
        quavix::testing::writeText(real, "[Old]\nkept=1\n");
        ::chmod(real.c_str(), 0664); // group-writable: a umask of 022 would take that away
        fs::create_symlink(fs::relative(real, link.parent_path()), link);

        ASSERT_TRUE(w.write(link.string()));

        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
        EXPECT_NE(readText(real.string()).find(w.written), std::string::npos)
            << readText(real.string());
        struct stat st {};
        ASSERT_EQ(::stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
        // Nothing left behind but the options' lock file.
        auto count = [](const fs::path& dir) {
            return std::distance(fs::directory_iterator(dir), fs::directory_iterator{});
        };
        EXPECT_EQ(count(link.parent_path()) + count(real.parent_path()),
                  w.what == std::string("options") ? 3 : 2);
    }
    services().clock = nullptr;
    ::umask(oldMask);
}

// A kill between the temporary's creation and its rename leaves the temporary behind; the
// next replacement of the same file clears such leftovers, and only those.
TEST(FileKeeping, AReplacementRemovesTheStaleTemporariesOfItsFile)
{
    Sandbox box;
    const std::string list = box.write("list.m3u", "old\r\n");
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    for (const char* name : {"list.m3u.AbC123", "list.m3u.Xy9876", "list.m3u.bak12", "list.m3u.bak",
                             "other.m3u.AbC123"}) {
        box.write(name, "left");
        if (std::string(name) != "list.m3u.Xy9876") // being written right now elsewhere
            fs::last_write_time(box.path(name), old);
    }
    ASSERT_TRUE(writePlayList(list, {"/new.mp3"}));
    for (const char* name :
         {"list.m3u.Xy9876", "list.m3u.bak12", "list.m3u.bak", "other.m3u.AbC123"})
        EXPECT_TRUE(fs::exists(box.path(name))) << name;
    EXPECT_FALSE(fs::exists(box.path("list.m3u.AbC123")));
}
