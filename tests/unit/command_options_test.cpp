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
