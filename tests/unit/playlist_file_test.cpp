// The editor's play list logic without the window: reading and writing play list files
// byte for byte, safe replacement, ordering, removing, folder listing, drops and pasting.
#include "playlist/EntryText.h"
#include "playlist/EntryTransfer.h"
#include "playlist/PlayListFile.h"
#include "playlist/PlayListOrder.h"
#include "support/Rig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Sandbox;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {
const std::string Latin1 = "/music/Caf\xe9 del Mar.mp3"; // not UTF-8
} // namespace

// Markers, leading blanks and other encodings through the editor: the ui suite.
TEST(PlayListFile, ReadsEachLineAsItStands)
{
    struct Case {
        const char* what;
        std::string bytes;
        Strings opened;   // the default list when the editor opens
        Strings appended; // File > Open
    };
    const Case cases[] = {
        {"blank lines", "a.mp3\r\n   \r\nb.mp3\r\n", {"a.mp3", "b.mp3"}, {"a.mp3", "   ", "b.mp3"}},
        {"empty line", "a.mp3\r\n\r\nb.mp3", {"a.mp3", "b.mp3"}, {"a.mp3", "", "b.mp3"}},
        {"no final line end", "a.mp3\r\nb.mp3", {"a.mp3", "b.mp3"}, {"a.mp3", "b.mp3"}},
        {"line feeds only", "a.mp3\nb.mp3\n", {"a.mp3", "b.mp3"}, {"a.mp3", "b.mp3"}},
        {"blanks kept", "x = y \r\n\tt\r\n", {"x = y ", "\tt"}, {"x = y ", "\tt"}},
        {"empty file", "", {}, {}},
    };
    Sandbox box;
    for (const Case& c : cases) {
        const std::string file = box.write("list.m3u", c.bytes);
        Strings opened{"kept"}, appended{"kept"};
        EXPECT_TRUE(readPlayListEntries(file, opened));
        EXPECT_TRUE(appendPlayListLines(file, appended));
        opened.erase(opened.begin());
        appended.erase(appended.begin());
        EXPECT_EQ(opened, c.opened) << c.what;
        EXPECT_EQ(appended, c.appended) << c.what;
    }
    Strings none;
    EXPECT_FALSE(readPlayListEntries(box.path("missing.m3u"), none));
    EXPECT_FALSE(appendPlayListLines(box.path("missing.m3u"), none));
    EXPECT_TRUE(none.empty());
}

TEST(PlayListFile, WritesBackTheSameBytes)
{
    Sandbox box;
    const std::string bytes = "  c.mp3\r\n#EXTM3U\r\n[x]\r\n" + Latin1 + "\r\nend\r\r\n";
    const std::string file = box.write("list.m3u", bytes);
    Strings entries;
    ASSERT_TRUE(readPlayListEntries(file, entries));
    std::string error;
    ASSERT_TRUE(writePlayListEntries(file, entries, error)) << error;
    EXPECT_EQ(readText(file), bytes);
}

// Links and the user's permissions are kept: file_keeping_test covers every writer.
TEST(PlayListFile, ReplacesSafely)
{
    Sandbox box;
    std::string error;
    // A new file gets the usual permissions, not those of a private temporary file.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writePlayListEntries(box.path("fresh.m3u"), {"a"}, error));
    ::umask(mask);
    EXPECT_EQ(fs::status(box.path("fresh.m3u")).permissions() & fs::perms::all, fs::perms(0644));

    // Failures say why and leave no temporary file behind.
    fs::create_directory(box.path("folder.m3u"));
    for (const std::string& target :
         {box.path("no/such/folder/list.m3u"), box.path("folder.m3u"), std::string()}) {
        error.clear();
        EXPECT_FALSE(writePlayListEntries(target, {"x"}, error)) << target;
        EXPECT_FALSE(error.empty()) << target;
    }
    // A file that is there in a folder that takes no new files: the reason names the folder,
    // not the file, which is not missing at all.
    EXPECT_FALSE(writePlayListEntries("/proc/self/mem", {"x"}, error));
    EXPECT_EQ(error, "no temporary file can be made in \"/proc/self\": No such file or directory");
    Strings left;
    for (const auto& e : fs::recursive_directory_iterator(box.root()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Strings{"cache", "config", "data", "etc-xdg", "folder.m3u", "fresh.m3u",
                             "runtime", "state", "usr-share"}));
}

TEST(PlayListOrder, SortsAlphabeticallyWithoutRegardToCaseAndStably)
{
    struct Case {
        Strings in, out;
    };
    // Plain names are the editor's order commands in the ui suite.
    const Case cases[] = {
        {{"x", "a", "A", "a"}, {"a", "A", "a", "x"}},
        {{"B", "a_", "a", "A"}, {"a", "A", "a_", "B"}},
        {{"\xc3\x89t\xc3\xa9", "zoo", "\xc3\xa9t\xc3\xa9"},
         {"zoo", "\xc3\x89t\xc3\xa9", "\xc3\xa9t\xc3\xa9"}}, // Été and été side by side
        {{"Caf\xe9", "caf\xc9", "cafe"}, {"cafe", "Caf\xe9", "caf\xc9"}}, // Latin-1 bytes
        {{}, {}},
    };
    for (const Case& c : cases) {
        Strings v = c.in;
        sortEntries(v);
        EXPECT_EQ(v, c.out);
    }
}

TEST(PlayListOrder, RandomOrderTakesTheDrawnEntryOfTheSortedRest)
{
    fakes::ScriptedRandom random;
    struct Case {
        Strings in;
        std::deque<double> draws;
        Strings out;
    };
    const Case cases[] = {
        {{"c", "B", "a"}, {0.99, 0.99, 0.99}, {"c", "B", "a"}},
        {{"c", "B", "a"}, {0.0, 0.0, 0.0}, {"a", "B", "c"}},
        {{"only"}, {0.7}, {"only"}},
        {{}, {}, {}},
    };
    for (const Case& c : cases) {
        random.draws = c.draws;
        Strings v = c.in;
        shuffleEntries(v, random);
        EXPECT_EQ(v, c.out);
    }
}

TEST(PlayListOrder, FolderFilesAreTheVisibleFilesInAlphabeticalOrder)
{
    Sandbox box;
    const std::string dir = box.path("music") + "/";
    for (const char* name : {"x.txt", "b.mp3", "B.wav", ".hidden.mp3", "line\nbreak.mp3"})
        box.write(std::string("music/") + name, "x");
    fs::create_directory(dir + "sub.mp3");
    fs::create_symlink(dir + "b.mp3", dir + "link.mp3");
    fs::create_symlink(dir + "sub.mp3", dir + "linked folder");
    fs::create_symlink(dir + "gone", dir + "dangling");
    Strings out{"existing"};
    ASSERT_TRUE(folderFiles(dir, out));
    EXPECT_EQ(out,
              (Strings{"existing", dir + "b.mp3", dir + "B.wav", dir + "link.mp3", dir + "x.txt"}));
    EXPECT_FALSE(folderFiles(box.path("nowhere") + "/", out));
    EXPECT_EQ(out.size(), 5u);
}

TEST(EntryTransfer, DroppedUriListsGiveLocalFilesInOrder)
{
    // Plain and escaped names, and other schemes, as dropped on the editor: the ui suite.
    const std::string list = "# dragged from a file manager\r\n"
                             "file://otherhost/share/x.mp3\r\n"
                             "file://localhost/srv/Caf%E9.mp3\r\n"
                             "FILE:/short/form.mp3\r\n"
                             "file:///bad%0Aname.mp3\r\n"
                             "file:///q.mp3?x=1#frag\r\n"
                             "file:///last%2";
    EXPECT_EQ(localFilesFromUriList(list),
              (Strings{"/srv/Caf\xe9.mp3", "/short/form.mp3", "/q.mp3", "/last%2"}));
    EXPECT_TRUE(localFilesFromUriList("just some text").empty());
}

// Latin-1 bytes shown readably: the editor's tests in the ui suite.
TEST(EntryText, UTF8StaysAsItIs)
{
    EXPECT_EQ(entryText("Caf\xc3\xa9"), QString::fromUtf8("Caf\xc3\xa9"));
}
