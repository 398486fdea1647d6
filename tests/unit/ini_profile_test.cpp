#include "platform/posix/IniProfile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using quavix::IniProfile;
using quavix::testing::Sandbox;

namespace {
std::string lookup(const std::string& text, const std::string& section, const std::string& key)
{
    return IniProfile::lookup(text, section, key);
}
} // namespace

TEST(IniProfile, MatchesNamesLikeTheWindowsProfile)
{
    const std::string text = "; comment=not a key\r\n"
                             "orphan=before any section\r\n"
                             "  [ File Locations ]  \r\n"
                             "  FILELIST  =  /home/u/list.m3u  \r\n"
                             "filelist=second wins never\r\n"
                             "AutoLoadMP3Locations =Yes\r\n"
                             "[startup]\n"
                             "Action=preview\n"
                             "[File Locations]\n"
                             "LogLocation=/in/a/later/duplicate/section\n";
    EXPECT_EQ(lookup(text, "file locations", "FileList"), "/home/u/list.m3u");
    EXPECT_EQ(lookup(text, "STARTUP", "action"), "preview"); // values keep their case
    // Blanks around the asked key and the key in the file are ignored on both sides.
    EXPECT_EQ(lookup(text, "File Locations", "AutoLoadMP3Locations"), "Yes");
    EXPECT_EQ(lookup(text, "File Locations", "AutoLoadMP3Locations "), "Yes");
    // Only the first section of a name is searched.
    EXPECT_EQ(lookup(text, "File Locations", "LogLocation"), "");
    EXPECT_EQ(lookup(text, "", "orphan"), "");
    EXPECT_EQ(lookup(text, "File Locations", "; comment"), "");
    EXPECT_EQ(lookup(text, "Missing", "FileList"), "");
}

TEST(IniProfile, StripsOnePairOfQuotesAndCutsAt254Characters)
{
    EXPECT_EQ(lookup("[s]\nk=\"  quoted  \"\n", "s", "k"), "  quoted  ");
    EXPECT_EQ(lookup("[s]\nk='a'\n", "s", "k"), "a");
    EXPECT_EQ(lookup("[s]\nk=\"\"x\"\"\n", "s", "k"), "\"x\"");
    EXPECT_EQ(lookup("[s]\nk=\"mismatch'\n", "s", "k"), "\"mismatch'");
    EXPECT_EQ(lookup("[s]\nk=\"\n", "s", "k"), "\"");

    const std::string ascii(300, 'a');
    EXPECT_EQ(lookup("[s]\nk=" + ascii + "\n", "s", "k"), std::string(254, 'a'));
    std::string accented;
    for (int i = 0; i < 300; ++i)
        accented += "\xC3\xA9"; // é: the cut counts characters and never splits one
    std::string cut = lookup("[s]\nk=" + accented + "\n", "s", "k");
    EXPECT_EQ(cut, accented.substr(0, 508));
}

TEST(IniProfile, ReadsFilesAndFallsBackToTheDefault)
{
    Sandbox box;
    IniProfile profile;
    // An empty file name means the default profile under XDG_CONFIG_HOME.
    EXPECT_EQ(profile.read("StartUp", "Action", "Preview", ""), "Preview");
    box.write("config/quavix/quavix.ini", "\xEF\xBB\xBF[StartUp]\r\nAction=Random\r\nEmpty=\r\n");
    EXPECT_EQ(profile.read("StartUp", "Action", "Preview", ""), "Random");
    EXPECT_EQ(profile.read("StartUp", "Empty", "dflt", ""), "dflt");

    std::string other = box.write("other.ini", "[Play Status]\nContinue=Yes\n");
    EXPECT_EQ(profile.read("Play Status", "Continue", "", other), "Yes");
    EXPECT_EQ(profile.read("Play Status", "Continue", "No", box.path("missing.ini")), "No");
    EXPECT_EQ(profile.read("Play Status", "Continue", "No", box.path("")), "No"); // a folder

    // A FIFO named on the command line must not block the read.
    std::string fifo = box.path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(profile.read("Play Status", "Continue", "No", fifo), "No");
}

TEST(IniProfile, SurvivesGarbageAndBinaryInput)
{
    // A sound file named on the command line is read as a profile before every song.
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        std::string junk(rng() % 4000, '\0');
        for (char& c : junk)
            c = static_cast<char>(rng() % 256);
        // Biased junk: lots of the characters the parser looks at.
        if (round % 2)
            for (char& c : junk)
                if (rng() % 3 == 0)
                    c = "[]=;\"'\r\n \t"[rng() % 10];
        std::string value = lookup(junk, "s", "k");
        value += lookup(junk, "", "");
        EXPECT_LE(value.size(), 2 * 254u * 4);
        // A valid pair after binary garbage is still found.
        EXPECT_EQ(lookup(junk + "\n[zq-section]\nk=found\n", "zq-section", "k"), "found");
    }
    std::string nul("[s]\nk=a\0b\n", 10);
    EXPECT_EQ(lookup(nul, "s", "k"), std::string("a\0b", 3));
}
