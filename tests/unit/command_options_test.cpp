#include "platform/posix/PosixProcess.h"
#include "startup/CommandOptions.h"

#include <gtest/gtest.h>

using quavix::CommandOptions;
using quavix::parseCommandOptions;
using Action = CommandOptions::Action;
using Words = std::vector<std::string>;

// Options come only before the command line; everything else is kept word for word,
// because the words joined by blanks are the file (or profile) name.
TEST(CommandOptions, OptionsBeforeTheCommandLineOnly)
{
    struct Case {
        Words given;
        Action action;
        Words arguments;
    };
    const Case cases[] = {
        {{}, Action::Run, {}},
        {{"--help"}, Action::Help, {}},
        {{"-h", "song.mp3"}, Action::Help, {}},
        {{"--version", "--help"}, Action::Version, {}},
        {{"-V"}, Action::Version, {}},
        {{"./--help"}, Action::Run, {"./--help"}},
        {{"--", "--help"}, Action::Run, {"--help"}},
        {{"--", "a", "--", "-b"}, Action::Run, {"a", "--", "-b"}},
        {{"-"}, Action::Run, {"-"}},
        {{"/music/My", "Song.mp3", "--help"}, Action::Run, {"/music/My", "Song.mp3", "--help"}},
        {{"http://host/live?-x"}, Action::Run, {"http://host/live?-x"}},
        {{"--bogus", "song.mp3"}, Action::Error, {}},
        {{"-help"}, Action::Error, {}},
        {{"--help=x"}, Action::Error, {}},
        {{"--station"}, Action::Station, {}},
        {{"--station", "/srv/station.ini"}, Action::Station, {"/srv/station.ini"}},
        {{"--station", "--", "--odd.ini"}, Action::Station, {"--odd.ini"}},
        {{"--station", "--help"}, Action::Help, {}},
        {{"--station", "My", "Station.ini"}, Action::Error, {}},
        {{"--station", "--bogus"}, Action::Error, {}},
        {{"song.mp3", "--station"}, Action::Run, {"song.mp3", "--station"}},
    };
    for (const auto& c : cases) {
        CommandOptions o = parseCommandOptions(c.given);
        std::string given;
        for (const auto& w : c.given)
            given += "[" + w + "]";
        EXPECT_EQ(o.action, c.action) << given;
        EXPECT_EQ(o.arguments, c.arguments) << given;
        EXPECT_EQ(o.message.empty(), c.action != Action::Error) << given;
    }
}

TEST(CommandOptions, UnknownOptionSaysHowToPlaySuchAFile)
{
    CommandOptions o = parseCommandOptions({"-x.mp3"});
    EXPECT_NE(o.message.find("'-x.mp3'"), std::string::npos) << o.message;
    EXPECT_NE(o.message.find("./-x.mp3"), std::string::npos) << o.message;
}

// The shell hands over one word per file and leaves relative names relative; the running
// instance works in another folder, so every file name must be absolute before it is written.
TEST(CommandOptions, EveryWordBecomesOneAbsoluteEntry)
{
    struct Case {
        Words given;
        std::string folder;
        Words entries;
    };
    const Case cases[] = {
        {{"one.mp3"}, "/home/u/songs", {"/home/u/songs/one.mp3"}},
        {{"two.mp3", "three 3.mp3"}, "/s/", {"/s/two.mp3", "/s/three 3.mp3"}},
        {{"./--help", "././x.mp3"}, "/s", {"/s/--help", "/s/x.mp3"}},
        {{"../up.mp3", "sub/a.mp3"}, "/s", {"/s/../up.mp3", "/s/sub/a.mp3"}},
        {{"/abs.mp3", "", "rel.mp3"}, "/", {"/abs.mp3", "/rel.mp3"}},
        {{"HTTP://radio/live", "rtsp://cam/a", "a:b.mp3"},
         "/s",
         {"HTTP://radio/live", "rtsp://cam/a", "/s/a:b.mp3"}},
        {{"kept.mp3"}, "", {"kept.mp3"}}, // the folder is gone: as typed
        {{}, "/s", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quavix::absoluteEntries(c.given, c.folder), c.entries) << c.given.size();
}
