// The play-list player and the transport commands, driven as a user drives them: a real
// play list file, fake media in virtual time, the stand-in main window firing timerPlay.
#include "engine/PlayCommands.h"
#include "engine/PlayListPlayer.h"
#include "engine/PlayListReader.h"
#include "engine/clsPlayFromPlayList.h"
#include "support/Rig.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace quavix;
using quavix::testing::Rig;
using Strings = std::vector<std::string>;

namespace {
void pressPlay(Rig& h)
{
    PlayListPlayer::start();
    h.window.firePending();
}
} // namespace

TEST(PlayListOrder, PlaysEveryEntryInFileOrderThenMovesOnFromTheCurrentOne)
{
    Rig h;
    auto s = h.songs(4, 2.6);
    h.writeList(s);
    globals().gPlayingPlayList = true;
    clsPlayFromPlayList().fPlayPlayList();
    EXPECT_TRUE(h.window.pending) << "the start is deferred, not run inside the caller";
    EXPECT_TRUE(h.media.opened.empty());
    h.window.firePending();
    EXPECT_EQ(h.media.opened, s);
    EXPECT_EQ(h.window.toolTips, s);
    EXPECT_EQ(globals().gCurrentFileName, s.back());
    EXPECT_EQ(h.window.sliderMin, 0);
    EXPECT_EQ(h.window.sliderMaxValue, 3);
    EXPECT_FALSE(globals().gStopPlay) << "the last item ran to its end";

    h.media.opened.clear();
    globals().gCurrentFileName = s[0];
    globals().gPlayingPlayList = true;
    pressPlay(h);
    EXPECT_EQ(h.media.opened, Strings(s.begin() + 1, s.end())) << "the first line is not replayed";
    // Not playing a list: one item only.
    h.media.opened.clear();
    globals().gPlayingPlayList = false;
    globals().gCurrentFileName = s[1];
    pressPlay(h);
    EXPECT_EQ(h.media.opened, Strings{s[2]});
}

TEST(PlayListOrder, WhatPlaysFromTheLinesOfAList)
{
    const std::string stream = "http://radio.example.net/live", dead = "mms://example.net/gone";
    struct Case {
        Strings lines, played; // "sN" stand for songs, "missing" for an absent file
        const char* eol;
    };
    for (const Case& c : std::vector<Case>{
             {{"s0", "", "s1", "s0", "", "s2"}, {"s0", "s1", "s0", "s2"}, "\n"}, // LF, repeats
             {{"s0", "missing", stream, dead, "folder", "s1"}, {"s0", stream, dead, "s1"}, "\r\n"},
             {{}, {}, "\r\n"},
             {{"", ""}, {}, "\r\n"}}) {
        Rig h;
        auto s = h.songs(3);
        h.media.addItem(stream, 4);
        auto real = [&](const std::string& l) {
            return l.size() == 2 && l[0] == 's' ? s[l[1] - '0']
                   : l == "missing"             ? h.box.path("missing.mp3")
                   : l == "folder"              ? h.box.root().string()
                                                : l;
        };
        Strings lines, played;
        for (const auto& l : c.lines)
            lines.push_back(real(l));
        for (const auto& l : c.played)
            played.push_back(real(l));
        h.writeList(lines, c.eol);
        globals().gPlayingPlayList = true;
        pressPlay(h);
        EXPECT_EQ(h.media.opened, played) << ::testing::PrintToString(c.lines);
        EXPECT_EQ(h.window.toolTips.size(), played.size());
    }
}

TEST(PlayListRandom, UniformOverAllEntriesWithoutRepeats)
{
    Rig h;
    constexpr int N = 10, Picks = 6000;
    auto s = h.songs(N, 0.5);
    h.writeList(s);
    auto& g = globals();
    g.gPlayListSequential = false;
    g.gPlayingPlayList = true;
    g.gSongCount = 3; // stale count: the file decides
    std::mt19937 gen(4711);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < Picks + 10; ++i)
        h.random.draws.push_back(u(gen));
    h.whenOpened(Picks + 1, [] { PlayListPlayer::stop(); });
    pressPlay(h);

    ASSERT_EQ(h.media.opened.size(), static_cast<std::size_t>(Picks + 1));
    EXPECT_EQ(h.media.opened[0], s[0]) << "a fresh start plays the first entry";
    std::map<std::string, int> counts;
    for (std::size_t i = 1; i < h.media.opened.size(); ++i) {
        ASSERT_NE(h.media.opened[i], h.media.opened[i - 1]) << "repeat at pick " << i;
        ++counts[h.media.opened[i]];
    }
    ASSERT_EQ(counts.size(), static_cast<std::size_t>(N));
    double expected = static_cast<double>(Picks) / N, chi2 = 0;
    for (const auto& [name, c] : counts)
        chi2 += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi2, 27.88) << "chi-square, 9 degrees of freedom, p = 0.001";
    EXPECT_EQ(h.random.seeds, 1);
    EXPECT_FALSE(g.gPlayingPlayList);
}

TEST(PlayListRandom, OneEntryAndNothingPlayable)
{
    Rig h;
    auto s = h.songs(2);
    globals().gPlayListSequential = false;
    globals().gPlayingPlayList = true;
    h.writeList({s[0]});
    pressPlay(h);
    EXPECT_EQ(h.media.opened, Strings{s[0]}) << "one entry plays once";

    // A list of nothing playable ends instead of spinning.
    h.media.opened.clear();
    h.writeList({"/nowhere/a.mp3", "/nowhere/b.mp3", "/nowhere/c.mp3"});
    globals().gPlayingPlayList = true;
    pressPlay(h);
    EXPECT_TRUE(h.media.opened.empty());
    EXPECT_FALSE(h.process.ended);
}

TEST(PlayListPrevious, OnTheFirstOrLastEntryOrOneNotInTheList)
{
    for (bool sequential : {true, false}) {
        Rig h;
        auto s = h.songs(4);
        h.writeList(s);
        globals().gPlayListSequential = sequential;
        for (const std::string& current : {s[0], h.song("other.mp3"), std::string()}) {
            globals().gCurrentFileName = current;
            PlayListPlayer::previous();
            EXPECT_EQ(h.window.starts, 0) << current;
            EXPECT_EQ(h.media.stopCalls, 0) << current;
            EXPECT_EQ(globals().gCurrentFileName, current);
        }
        // From the last entry: the one above in sequential order; in random order a draw
        // from the entry two above (s1 left out, the draw 0 takes s0).
        globals().gCurrentFileName = s[3];
        h.random.draws = {0.0};
        PlayListPlayer::previous();
        EXPECT_TRUE(h.window.pending);
        h.window.firePending();
        ASSERT_FALSE(h.media.opened.empty());
        EXPECT_EQ(h.media.opened[0], sequential ? s[2] : s[0]) << sequential;

        // From the second entry: the first, in either order.
        h.media.opened.clear();
        globals().gCurrentFileName = s[1];
        h.random.draws = {0.99};
        PlayListPlayer::previous();
        h.window.firePending();
        ASSERT_FALSE(h.media.opened.empty());
        EXPECT_EQ(h.media.opened[0], s[0]) << sequential;
    }
}

TEST(PlayListPrevious, WhilePlayingGoesBackFromTheOccurrenceThatPlays)
{
    Rig h;
    auto s = h.songs(4);
    h.writeList(s);
    globals().gPlayingPlayList = true;
    h.whenOpened(3, [] { PlayListPlayer::previous(); });
    pressPlay(h);
    EXPECT_EQ(h.media.opened, (Strings{s[0], s[1], s[2], s[1], s[2], s[3]}));
    EXPECT_GE(h.process.sleptMs, 5 * 3000) << "every item but the interrupted one played out";

    // During the second s1 (fifth line): back to the second s0, not to the first line.
    Rig r;
    s = r.songs(3);
    r.writeList({s[0], s[1], s[2], s[0], s[1]});
    globals().gPlayingPlayList = true;
    r.whenOpened(5, [] { PlayListPlayer::previous(); });
    pressPlay(r);
    EXPECT_EQ(r.media.opened, (Strings{s[0], s[1], s[2], s[0], s[1], s[0], s[1]}));
}

TEST(Transport, NextEndsTheItemAndTheListMovesOn)
{
    Rig h;
    auto s = h.songs(3, 30);
    h.writeList(s);
    globals().gPlayingPlayList = true;
    bool stopPlayAfterNext = true;
    h.whenOpened(1, [&] {
        PlayListPlayer::next();
        stopPlayAfterNext = globals().gStopPlay;
        EXPECT_EQ(h.media.currentPosition(), h.media.duration());
    });
    pressPlay(h);
    EXPECT_EQ(h.media.opened, s);
    EXPECT_FALSE(stopPlayAfterNext) << "an item moved to its end counts as ended, not stopped";
    EXPECT_LT(h.process.sleptMs, 3 * 30 * 1000) << "the first item did not play out";
}

// Stop in the middle of a list is the ui suite's transport test; here what comes after it.
TEST(Transport, StopIdlesAndPlayResumesWithTheNextEntry)
{
    Rig h;
    auto s = h.songs(4);
    h.writeList(s);
    auto& g = globals();
    g.gPlayingPlayList = true;
    h.whenOpened(2, [] { PlayListPlayer::stop(); });
    pressPlay(h);
    h.process.processEvents(); // the stop event arrives after the handler
    ASSERT_EQ(h.media.opened, (Strings{s[0], s[1]}));

    // A start armed before Stop is dropped too.
    PlayListPlayer::start();
    PlayListPlayer::stop();
    EXPECT_FALSE(h.window.pending);
    pressPlay(h);
    EXPECT_EQ(h.media.opened, (Strings{s[0], s[1], s[2]}));
    EXPECT_FALSE(g.gStopPlay);
}

TEST(Transport, AReplacedItemDidNotRunToItsEnd)
{
    // The old item's Stopped event arrives after the next open; judged against a failed
    // open (duration 0, position 0) it used to read as "ran to its end".
    Rig h(false);
    auto s = h.songs(1, 30);
    h.media.setFileName(s[0]);
    h.media.deliverEvents();
    h.media.advance(5);
    h.media.setFileName("/nowhere/missing.mp3");
    h.media.deliverEvents();
    EXPECT_TRUE(globals().gStopPlay);

    h.media.setFileName(s[0]);
    h.media.deliverEvents();
    EXPECT_FALSE(globals().gStopPlay) << "the new item plays";
}

TEST(Transport, SliderSecondsRound)
{
    for (auto [seconds, slider] :
         {std::pair{2.5, 2}, {3.5, 4}, {179.4, 179}, {-1.0, 0}, {std::nan(""), 0}, {1e30, INT_MAX}})
        EXPECT_EQ(toSliderSeconds(seconds), slider) << seconds;
}

TEST(PlayFile, CancelOrAnUnwritableListLeaveListAndPlaybackAlone)
{
    Rig h;
    auto s = h.songs(2);
    h.writeList(s);
    playFileCommand(); // cancelled
    EXPECT_EQ(h.readList(), s[0] + "\r\n" + s[1] + "\r\n");
    h.window.timer1 = false; // Cancel turned it on again
    globals().gPlayListFile = h.box.path("no-such-folder/list.m3u");
    h.dialogs.fileAnswers.push_back(s[0]);
    playFileCommand();
    EXPECT_EQ(h.media.stopCalls, 0);
    EXPECT_EQ(h.window.starts, 0);
    EXPECT_TRUE(h.window.timer1);
}

TEST(PlayFile, ChosenFileReplacesTheListAndPlaysAfterTheCurrentItem)
{
    Rig h;
    auto s = h.songs(3);
    auto chosen = h.song("chosen.mp3");
    h.writeList(s);
    globals().gPlayingPlayList = true;
    h.dialogs.fileAnswers.push_back(chosen);
    h.whenOpened(2, [] { playFileCommand(); });
    pressPlay(h);
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(h.dialogs.fileRequests[0].mustExist);
    EXPECT_EQ(h.readList(), chosen + "\r\n");
    EXPECT_EQ(h.media.opened, (Strings{s[0], s[1], chosen}));
    EXPECT_EQ(quavix::testing::enabledButtons(h.window.bar).substr(0, 7), "PNYUBSX");
    EXPECT_TRUE(h.window.timer1);
}

TEST(DroppedFiles, PlayInDropOrderFromTheFirstEvenWhileARandomListPlays)
{
    Rig h;
    auto s = h.songs(5);
    Strings dropped = {h.song("d1.mp3"), h.song("d2.mp3"), h.song("d3.mp3")};
    h.writeList(s);
    const std::string before = h.readList();
    EXPECT_FALSE(playDroppedFiles({}));
    EXPECT_FALSE(playDroppedFiles({"", "/tmp/evil\n/etc/passwd"}));
    EXPECT_EQ(h.readList(), before);
    EXPECT_TRUE(h.options.saves.empty()) << "nothing usable changes nothing";
    EXPECT_EQ(h.window.starts, 0);

    auto& g = globals();
    g.gPlayListSequential = false;
    g.gPlayingPlayList = true;
    h.random.draws = {0.5};
    h.whenOpened(2, [&] { EXPECT_TRUE(playDroppedFiles(dropped)); });
    pressPlay(h);
    EXPECT_EQ(h.readList(), dropped[0] + "\r\n" + dropped[1] + "\r\n" + dropped[2] + "\r\n");
    ASSERT_EQ(h.media.opened.size(), 5u);
    EXPECT_EQ(Strings(h.media.opened.begin() + 2, h.media.opened.end()), dropped);
    EXPECT_GE(h.process.sleptMs, 4 * 3000) << "the first dropped file played out";
    EXPECT_TRUE(g.gPlayListSequential);
    EXPECT_EQ(h.options.value("Options", "RandomSelectIconWhileRunning"), "0");
}

TEST(DroppedFiles, ANameWithALineBreakRefusesTheDrop)
{
    Rig h;
    auto s = h.songs(2);
    h.writeList({s[0]});
    EXPECT_FALSE(playDroppedFiles({s[1], "/music/a\r\nb.mp3"}));
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_NE(h.dialogs.boxes[0].text.find("\"/music/a[CR][LF]b.mp3\""), std::string::npos);
    EXPECT_EQ(h.readList(), s[0] + "\r\n");
    EXPECT_EQ(h.window.starts, 0);
    EXPECT_TRUE(h.options.saves.empty());
}

TEST(PlayListFile, WriteIsAllOrNothingAndTheReaderHoldsOnlyTheHeadOfAnOverlongLine)
{
    Rig h;
    h.writeList({"old"});
    EXPECT_FALSE(writePlayList(h.playList, {"new", "bad\rline"}));
    EXPECT_FALSE(writePlayList("", {"x"}));
    EXPECT_EQ(h.readList(), "old\r\n");
    EXPECT_TRUE(writePlayList(h.playList, {"a", "b c"}));
    EXPECT_EQ(h.readList(), "a\r\nb c\r\n");
    EXPECT_FALSE(std::filesystem::exists(h.playList + ".new"));

    // Links and permissions kept: file_keeping_test covers every writer.
    std::string longLine(200 * 1024, 'x');
    quavix::testing::writeText(h.playList, longLine + "\r\nb\r\n\r\nc"); // no final line end
    EntryScan scan = scanPlayList(h.playList, "b", -1, true);
    EXPECT_TRUE(scan.opened);
    EXPECT_EQ(scan.count, 3);
    EXPECT_EQ(scan.index, 1);
    ASSERT_TRUE(scan.before && scan.after);
    // An entry never names more than a path can: what is held of the line is its head.
    EXPECT_EQ(*scan.before, longLine.substr(0, MaxEntryBytes));
    EXPECT_EQ(*scan.after, "c");
    EXPECT_EQ(playListEntryAt(h.playList, 2), "c");
    EXPECT_EQ(playListEntryAt(h.playList, 3), std::nullopt);
    EXPECT_FALSE(scanPlayList(h.box.path("none"), "b").opened);

    // The index finds every entry where it starts, over long lines and blank ones alike.
    PlayListIndex index;
    ASSERT_TRUE(index.refresh(h.playList));
    EXPECT_EQ(index.count(), 3);
    EXPECT_EQ(index.entryAt(1), "b");
    EXPECT_EQ(index.entryAt(2), "c");
    EXPECT_EQ(index.entryAt(3), std::nullopt);
    EXPECT_EQ(index.find("c"), 2);
}
