// The cache of what was measured of songs: a song is known until its file changes, every
// value comes back exactly as it was stored, and a damaged cache, or a FIFO or a folder in
// its place, costs at most a measure again: never an error, never a wait.
#include "platform/posix/LoudnessCache.h"
#include "support/Rig.h"

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <iomanip>
#include <sys/stat.h>

using quavix::LoudnessCache;
using quavix::SongMeasure;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace quavix {
void PrintTo(const SongMeasure& m, std::ostream* os)
{
    *os << std::setprecision(17) << "{" << m.loudness << " LUFS, " << m.truePeak << " dBTP, "
        << m.firstSound << " s .. " << m.lastSound << " s at " << m.trimLevel << " dBFS}";
}
} // namespace quavix

namespace {

// Runs `work` and tells whether it finished within a few seconds.
bool finishes(const std::function<void()>& work)
{
    auto done = std::async(std::launch::async, work);
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

} // namespace

TEST(LoudnessCache, KnowsASongUntilItsFileChangesAndKeepsEveryValueExactly)
{
    Sandbox box;
    const std::string path = box.path("cache/quavix/loudness.tsv");
    const std::string a = box.write("songs/a.mp3", "sound a");
    const std::string odd = box.write("songs/50%\tof\nit.mp3", "sound b");
    // A trim level of more places than the file once kept was never found again, and the
    // song measured anew on every start.
    const SongMeasure measured{-23.123456789, -0.987654321, 0.0123456789, 181.000001, -49.3333333};
    const SongMeasure silent{-HUGE_VAL, -HUGE_VAL, 0, 0, -50};
    {
        LoudnessCache cache(path);
        cache.load();
        EXPECT_FALSE(cache.find(a));
        cache.store(a, measured);
        cache.store(odd, silent);
    }
    LoudnessCache again(path);
    again.load();
    EXPECT_EQ(again.find(a), measured);
    EXPECT_EQ(again.find(odd), silent);

    // Another time with the same size, then another size: a new song each.
    struct stat st {};
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, {st.st_mtim.tv_sec + 1, st.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    EXPECT_FALSE(again.find(a));
    box.write("songs/50%\tof\nit.mp3", "sound b, longer");
    EXPECT_FALSE(again.find(odd));
    // Measured again, the new measure is the one a later start finds.
    SongMeasure remeasured = measured;
    remeasured.loudness = -9.5;
    again.store(a, remeasured);
    LoudnessCache third(path);
    third.load();
    EXPECT_EQ(third.find(a), remeasured);
    std::filesystem::remove(a);
    EXPECT_FALSE(third.find(a));
}

TEST(LoudnessCache, ADamagedFileIsIgnoredAndWrittenAnewAndNothingInItsPlaceHoldsThePlayer)
{
    Sandbox box;
    const std::string path = box.path("cache/quavix/loudness.tsv");
    const std::string a = box.write("songs/a.mp3", "sound a");
    const std::string b = box.write("songs/b.mp3", "sound b");
    const SongMeasure m{-14, -2, 0.5, 3, -50};
    {
        LoudnessCache cache(path);
        cache.load();
        cache.store(a, m);
    }
    const std::string good = readText(path);
    // Lines of another program, of a broken disk, and one cut short by a crash.
    box.write("cache/quavix/loudness.tsv", good + "not a cache line\n\x01\xff\t\t\t\n" +
                                               "q1\t7\tx\t-1\t-1\t0\t0\t-50\t" + b + "\n" +
                                               good.substr(0, good.size() / 2));
    LoudnessCache damaged(path);
    damaged.load();
    EXPECT_EQ(damaged.size(), 1u);
    EXPECT_EQ(damaged.find(a), m);
    EXPECT_FALSE(damaged.find(b));
    damaged.store(b, m); // the next store writes the file anew, with what could be read
    LoudnessCache rewritten(path);
    rewritten.load();
    EXPECT_EQ(rewritten.size(), 2u);
    EXPECT_EQ(rewritten.find(a), m);
    EXPECT_EQ(rewritten.find(b), m);
    EXPECT_EQ(readText(path).find("not a cache line"), std::string::npos);

    // A FIFO nobody reads, then a folder, where the file should be.
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    LoudnessCache fifo(path);
    EXPECT_TRUE(finishes([&] {
        fifo.load();
        fifo.store(a, m);
    }));
    EXPECT_EQ(fifo.find(a), m); // known for this run all the same
    std::filesystem::remove(path);
    std::filesystem::create_directories(path);
    LoudnessCache folder(path);
    EXPECT_TRUE(finishes([&] {
        folder.load();
        folder.store(a, m);
    }));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}
