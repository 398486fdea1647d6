// A writer killed with SIGKILL at a random moment of a save leaves every store whole: the
// options file and the play list always hold one complete version (old or new), never an
// empty, torn or mixed one. Each round forks a child that saves in a loop and kills it
// after a random delay once its first save is done.
#include "engine/PlayCommands.h"
#include "mainwindow/Form1Options.h"
#include "platform/posix/IniOptionsStore.h"
#include "playlist/PlayListFile.h"
#include "startup/HandOff.h"
#include "startup/Services.h"
#include "support/Rig.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace {

constexpr int Rounds = 100;

// Each version n is recognisable from every part of it.
std::string blob(long n)
{
    return std::string(2000 + n % 3000, char('a' + n % 26)) + "#" + std::to_string(n);
}

bool wholeBlob(const std::string& v)
{
    auto hash = v.rfind('#');
    if (hash == std::string::npos)
        return false;
    long n = std::stol(v.substr(hash + 1));
    return v == blob(n);
}

std::string entry(long n)
{
    return "/music/song " + std::to_string(n) + ".mp3";
}

// Runs save(n) for n = 1, 2, ... in a child; kills it at a random moment after its first
// save; returns false when the child did not get that far.
bool killDuringSaves(const std::function<void(long)>& save, std::mt19937& random)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        for (long n = 1;; ++n) {
            save(n);
            if (n == 1 && ::write(ready[1], "x", 1) != 1)
                ::_exit(1);
        }
    }
    ::close(ready[1]);
    char c;
    bool started = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return started && WIFSIGNALED(status);
}

} // namespace

TEST(KillDuringSave, OptionsStayWhole)
{
    Sandbox box;
    const std::string path = box.path("config/quavix/options.ini");
    ASSERT_TRUE(IniOptionsStore(path).save("Quavix", "File Locations", "FileList", "/a.m3u"));
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < Rounds; ++round) {
        ASSERT_TRUE(killDuringSaves(
            [&](long n) { IniOptionsStore(path).save("Quavix", "Options", "Blob", blob(n)); },
            random));
        auto contents = IniOptionsStore::parse(readText(path));
        ASSERT_FALSE(contents.damaged) << "round " << round;
        IniOptionsStore store(path);
        ASSERT_EQ(store.get("Quavix", "File Locations", "FileList", ""), "/a.m3u");
        ASSERT_TRUE(wholeBlob(store.get("Quavix", "Options", "Blob", ""))) << "round " << round;
    }
}

// The options the strip saves as the program ends are one set: a kill part of the way
// through leaves the old set or the new one, never some of each.
TEST(KillDuringSave, TheStripsOptionsAtExitAreOneSet)
{
    Sandbox box;
    IniOptionsStore store(box.path("config/quavix/options.ini"));
    services().options = &store;
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < Rounds / 2; ++round) {
        ASSERT_TRUE(killDuringSaves(
            [](long n) {
                const bool odd = n % 2 != 0;
                saveForm1Options({odd, odd, odd, odd, odd, odd, static_cast<std::int32_t>(-n)});
            },
            random));
        const long n = -std::stol(store.get("Quavix", "Options", "Volume", "1"));
        const std::string flag = n % 2 != 0 ? "True" : "False";
        for (const char* key : {"StatusAreaVisible", "ControlsVisible", "SliderVisible",
                                "AlwaysOnTop", "Minimized", "RemoveFromSystemTray"})
            ASSERT_EQ(store.get("Quavix", "Options", key, ""), flag)
                << key << " with Volume of save " << n << ", round " << round;
    }
    services().options = nullptr;
}

TEST(KillDuringSave, PlayListsStayWhole)
{
    Sandbox box;
    const std::string path = box.path("Quavix.m3u");
    // The three ways a list is replaced: the editor's OK, Play File, a command line.
    const std::function<void(long)> writers[] = {
        [&](long n) {
            std::string error;
            writePlayListEntries(path, std::vector<std::string>(300, entry(n)), error);
        },
        [&](long n) { writePlayList(path, std::vector<std::string>(300, entry(n))); },
        [&](long n) {
            std::string error;
            writePlayListLine(path, entry(n), false, error);
        },
    };
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < Rounds; ++round) {
        ASSERT_TRUE(killDuringSaves(writers[round % 3], random));
        const std::string text = readText(path);
        std::vector<std::string> lines;
        ASSERT_TRUE(appendPlayListLines(path, lines));
        ASSERT_TRUE(lines.size() == 300 || lines.size() == 1)
            << "round " << round << ": " << lines.size() << " lines";
        ASSERT_EQ(text.size(), lines.size() * (lines[0].size() + 2)) << "round " << round;
        for (const auto& line : lines)
            ASSERT_EQ(line, lines[0]) << "round " << round;
        ASSERT_EQ(lines[0].rfind("/music/song ", 0), 0u);
    }
}
