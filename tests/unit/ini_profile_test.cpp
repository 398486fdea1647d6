#include "platform/posix/IniProfile.h"
#include "support/Rig.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
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
    EXPECT_EQ(lookup(text, "File Locations", "AutoLoadMP3Locations "), "Yes");
    // Only the first section of a name is searched.
    EXPECT_EQ(lookup(text, "File Locations", "LogLocation"), "");
    EXPECT_EQ(lookup(text, "", "orphan"), "");
    EXPECT_EQ(lookup(text, "File Locations", "; comment"), "");
    EXPECT_EQ(lookup(text, "Missing", "FileList"), "");
}

TEST(IniProfile, StripsOnePairOfQuotesAndCutsAt254Characters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\"  quoted  \"", "  quoted  "},
        {"'a'", "a"},
        {"\"\"x\"\"", "\"x\""},
        {"\"mismatch'", "\"mismatch'"},
        {"\"", "\""},
        {std::string(300, 'a'), std::string(254, 'a')},
        {std::string("a\0b", 3), std::string("a\0b", 3)}};
    for (const auto& [value, read] : cases)
        EXPECT_EQ(lookup("[s]\nk=" + value + "\n", "s", "k"), read) << value;
    std::string accented;
    for (int i = 0; i < 300; ++i)
        accented += "\xC3\xA9"; // é: the cut counts characters and never splits one
    EXPECT_EQ(lookup("[s]\nk=" + accented + "\n", "s", "k"), accented.substr(0, 508));
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

    // Keys after a megabyte of comments are keys all the same.
    std::string big = box.write("big.ini", "[File Locations]\n" +
                                               std::string(3 << 20, ';').replace(100, 1, "\n") +
                                               "\nFileList=/list.m3u\n");
    EXPECT_EQ(profile.read("File Locations", "FileList", "", big), "/list.m3u");
}

// Start-up reads several keys in a row and the engine asks for "Continue" before every
// song: the reader keeps the text, and an edit must still show at the next read.
TEST(IniProfile, SeesEveryEditOfTheFileItReadBefore)
{
    Sandbox box;
    IniProfile profile;
    const std::string file = box.path("station.ini");
    auto rewrite = [&](const char* text, const timespec* stamp) {
        std::ofstream(file, std::ios::trunc) << text; // in place: the same inode
        if (stamp) {
            const timespec times[2] = {*stamp, *stamp};
            ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        }
    };
    auto modified = [&] {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_mtim;
    };

    // An edit with the same size inside the same time stamp tick as the read before it.
    rewrite("[Play Status]\nContinue=Yes\n", nullptr);
    const timespec tick = modified();
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "Yes");
    rewrite("[Play Status]\nContinue=No!\n", &tick);
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "No!");

    // An old file is kept; changing it, removing it or putting another in its place shows.
    const timespec old{modified().tv_sec - 3600, 0};
    rewrite("[Play Status]\nContinue=Yes\n", &old);
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "Yes");
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "Yes");
    rewrite("[Play Status]\nContinue=No\n", nullptr);
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "No");
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_EQ(profile.read("Play Status", "Continue", "gone", file), "gone");
    const std::string other = box.write("other.ini", "[Play Status]\nContinue=Yes\n");
    ASSERT_EQ(std::rename(other.c_str(), file.c_str()), 0);
    EXPECT_EQ(profile.read("Play Status", "Continue", "", file), "Yes");
}

TEST(IniProfile, SurvivesGarbageAndBinaryInput)
{
    // A sound file named on the command line is read as a profile before every song.
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        std::string junk(rng() % 4000, '\0');
        for (char& c : junk) // every other round biased to the characters the parser looks at
            c = round % 2 && rng() % 3 == 0 ? "[]=;\"'\r\n \t"[rng() % 10]
                                            : static_cast<char>(rng() % 256);
        EXPECT_LE(lookup(junk, "s", "k").size() + lookup(junk, "", "").size(), 2 * 254u * 4);
        // A valid pair after binary garbage is still found.
        EXPECT_EQ(lookup(junk + "\n[zq-section]\nk=found\n", "zq-section", "k"), "found");
    }
}
