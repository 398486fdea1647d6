#include "platform/posix/IniOptionsStore.h"
#include "support/Rig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using quavix::IniOptionsStore;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace {
int filesStartingWith(const std::string& folder, const std::string& prefix)
{
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(folder))
        n += e.path().filename().string().rfind(prefix, 0) == 0;
    return n;
}
} // namespace

TEST(IniOptionsStore, DefaultsStoredFormsAndOtherInstancesSaves)
{
    Sandbox box;
    IniOptionsStore store, other;
    EXPECT_EQ(store.path(), box.path("config/quavix/options.ini"));
    EXPECT_EQ(store.get("Quavix", "Options", "AlwaysOnTop", "True"), "True");
    EXPECT_TRUE(store.save("Quavix", "Options", "AlwaysOnTop", "False"));
    EXPECT_TRUE(store.save("Quavix", "File Locations", "FileList", "/a b/list.m3u"));
    EXPECT_TRUE(other.save("Quavix", "Options", "Volume", "-2500"));
    EXPECT_TRUE(store.save("Quavix", "Options", "volume", "-100")); // same key

    IniOptionsStore again;
    EXPECT_EQ(other.get("Quavix", "Options", "AlwaysOnTop", "True"), "False");
    EXPECT_EQ(again.get("Quavix", "OPTIONS", "Volume", "0"), "-100");
    EXPECT_EQ(again.get("Quavix", "File Locations", "FileList", ""), "/a b/list.m3u");
    EXPECT_EQ(again.get("Quavix", "Options", "Missing", "dflt"), "dflt");
    EXPECT_EQ(again.get("Quavix", "Nowhere", "Volume", "dflt"), "dflt");
    // The file stays readable by a person.
    EXPECT_NE(readText(again.path()).find("[File Locations]\nFileList=/a b/list.m3u\n"),
              std::string::npos);
}

TEST(IniOptionsStore, AwkwardTextsRoundTripAsValuesSectionsAndKeys)
{
    Sandbox box;
    const std::vector<std::string> texts = {"",
                                            " leading and trailing ",
                                            "line one\nline two\r\nline three\r",
                                            "back\\slash\\n not a newline \\x41",
                                            "key=value [section] ; comment # hash",
                                            "\t tab \t",
                                            std::string("nul\0byte\x01\x7f", 10),
                                            "\xC3\xA9t\xC3\xA9 \xE2\x99\xAB",
                                            "\xFF\xFE invalid utf-8",
                                            "\"quoted\" 'single'"};
    IniOptionsStore writer;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(writer.save("Quavix", "Awkward", "k" + std::to_string(i), texts[i]));
        if (!texts[i].empty()) {
            ASSERT_TRUE(writer.save("Quavix", texts[i], texts[i], texts[i]));
        }
    }
    IniOptionsStore reader;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(reader.get("Quavix", "Awkward", "k" + std::to_string(i), "-"), texts[i]) << i;
        if (!texts[i].empty()) {
            EXPECT_EQ(reader.get("Quavix", texts[i], texts[i], "-"), texts[i]) << i;
        }
    }
    EXPECT_FALSE(IniOptionsStore::parse(readText(reader.path())).damaged);
}

TEST(IniOptionsStore, ConcurrentWritersInSeveralProcessesLoseNoKey)
{
    Sandbox box;
    constexpr int Writers = 4, KeysEach = 40;
    auto key = [](int w, int k) { return "w" + std::to_string(w) + "k" + std::to_string(k); };
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            IniOptionsStore store;
            bool ok = true;
            for (int k = 0; k < KeysEach; ++k)
                ok = store.save("Quavix", "Race", key(w, k), std::to_string(w * 1000 + k)) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    IniOptionsStore store;
    for (int w = 0; w < Writers; ++w)
        for (int k = 0; k < KeysEach; ++k)
            EXPECT_EQ(store.get("Quavix", "Race", key(w, k), "lost"), std::to_string(w * 1000 + k));
    EXPECT_EQ(filesStartingWith(box.path("config/quavix"), "options.ini.tmp-"), 0);
}

TEST(IniOptionsStore, UnparseableFileIsKeptAsideBeforeTheFirstSave)
{
    Sandbox box;
    const std::string damaged = "[Options]\nAlwaysOnTop=False\nthis line has no equals sign\n"
                                "Bad=\\q escape\n[Locations\nLost=in a broken section\n"
                                "[Icons]\n3=/pics/three.png\n" +
                                std::string("\0\x01\x02 binary\n", 11);
    std::string file = box.write("config/quavix/options.ini", damaged);
    IniOptionsStore store;
    EXPECT_EQ(store.get("Quavix", "Options", "AlwaysOnTop", "True"), "False");
    EXPECT_EQ(store.get("Quavix", "Icons", "3", "<none>"), "/pics/three.png");
    EXPECT_EQ(store.get("Quavix", "Options", "Bad", "dflt"), "dflt");
    EXPECT_EQ(readText(file), damaged); // reading changes nothing

    ASSERT_TRUE(store.save("Quavix", "Options", "Volume", "-5"));
    std::vector<std::string> aside;
    for (auto& e : std::filesystem::directory_iterator(box.path("config/quavix")))
        if (e.path().filename().string().rfind("options.ini.bad-", 0) == 0)
            aside.push_back(e.path().string());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readText(aside[0]), damaged);
    EXPECT_EQ(aside[0].size(), file.size() + std::string(".bad-yyyymmdd-hhmmss").size());

    IniOptionsStore reread;
    EXPECT_EQ(reread.get("Quavix", "Options", "AlwaysOnTop", "True"), "False");
    EXPECT_EQ(reread.get("Quavix", "Icons", "3", "<none>"), "/pics/three.png");
    EXPECT_EQ(reread.get("Quavix", "Options", "Volume", "0"), "-5");
    EXPECT_FALSE(IniOptionsStore::parse(readText(file)).damaged);
    // The next save finds a clean file and copies nothing more.
    ASSERT_TRUE(reread.save("Quavix", "Options", "Volume", "-6"));
    EXPECT_EQ(filesStartingWith(box.path("config/quavix"), "options.ini.bad-"), 1);

    // A save that cannot be written fails and changes nothing.
    box.write("blocker", "a file where a folder should be");
    IniOptionsStore blocked(box.path("blocker/options.ini"));
    EXPECT_FALSE(blocked.save("Quavix", "Options", "Volume", "1"));
    EXPECT_EQ(blocked.get("Quavix", "Options", "Volume", "0"), "0");

    // A FIFO in the store's place is neither waited for nor replaced.
    const std::string fifo = box.path("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniOptionsStore piped(fifo);
    EXPECT_EQ(piped.get("Quavix", "Options", "Volume", "0"), "0");
    EXPECT_FALSE(piped.save("Quavix", "Options", "Volume", "1"));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}
