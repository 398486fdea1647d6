// The station as a service, in virtual time: every value from its own profile, bad song
// names skipped or played but never renamed, songs and folders that are not there, the
// exit statuses a service manager sees, a stop by signal and a stop by the media controls.
// Its boxes as lines on standard error, which must never hold it up.
#include "engine/Station.h"
#include "engine/clsGetNextSong.h"
#include "platform/posix/LineDialogs.h"
#include "support/Rig.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quavix;
using namespace quavix::testing;

namespace {

const std::string Header = "\"ActivityDateTime\",\"Group\",\"CDTitle\",\"ReleaseYear\","
                           "\"Title\",\"ActivityLength\",\"FileName\"\r\n";

// A rig whose profile reader has the station's profile as its default file, as the program
// sets it up for `quavix --station PROFILE`; no main window.
class StationRig : public Rig {
public:
    IniProfile stationProfile{profileFile};
    std::string songs = box.path("songs") + "/";

    StationRig() : Rig(false)
    {
        services().profile = &stationProfile;
        fs::create_directories(songs);
        // The station fills these from its profile; the rig's values must not hide that.
        globals().gMP3Locations.clear();
        globals().gPlayListFile.clear();
        globals().gLogActivity = false;
        process.onEvents = [this] { media.deliverEvents(); };
    }
    void writeProfile(const std::string& extraStartUp = "", bool withList = true,
                      bool withFolder = true)
    {
        std::string text = "[File Locations]\n";
        if (withList)
            text += "FileList=" + playList + "\n";
        if (withFolder)
            text += "MP3Location001=" + songs + "\n";
        text += "LogLocation=" + logFolder.string() + "/\n";
        text += "[StartUp]\nLogActivity=Yes\n" + extraStartUp;
        text += "[Play Status]\nContinue=Yes\n";
        writeText(profileFile, text);
        fs::create_directories(logFolder);
    }
    // Runs the station to its end; what it wrote on standard error. A station that has
    // not ended after 20 s fails the test (a reader waiting for a FIFO profile's writer is
    // then given one, so that the test goes on).
    std::string run()
    {
        ::testing::internal::CaptureStderr();
        auto done = std::async(std::launch::async, [this] {
            try {
                runStation(profileFile);
            } catch (const fakes::ProgramEnded&) {
            }
        });
        if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the station did not end within 20 s";
            const int fd = ::open(profileFile.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            done.wait();
        }
        drainStandardError(5000);
        return ::testing::internal::GetCapturedStderr();
    }
    std::string log() const { return readText(logFile("20261206")); }
};

std::string row(const std::string& fields, const std::string& path)
{
    return "\"12/06/26 16:30:00\"," + fields + ",\"" + path + "\"\r\n";
}

int count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(Station, SkipsABadNameByDefaultLeavesItOnDiskAndEndsWithStatusZero)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_02.mp3", 2);
    std::string bad = box.addSong(box.songs, "Bad Name.mp3", 2);
    std::string c = box.addSong(box.songs, "C - B - 2001 - D - 0_01.mp3", 1);

    const std::string err = box.run();

    EXPECT_TRUE(box.process.ended);
    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, c}));
    EXPECT_EQ(box.readList(), a + "\r\n" + c + "\r\n");
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_NE(err.find("quavix: skipping \"" + bad + "\": its name does not follow"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("(no \"-\" after the group)"), std::string::npos) << err;
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
    EXPECT_EQ(box.log(), Header + row("\"A\",\"B\",\"2001\",\"D\",\"2\"", a) +
                             row("\"C\",\"B\",\"2001\",\"D\",\"1\"", c));
}

TEST(Station, BadNamesPlayPlaysItAsItIsWithEmptyFieldsInItsRow)
{
    StationRig box;
    box.writeProfile("BadNames=Play\n");
    // The fields before the missing separator must not reach the row as if they were known.
    std::string bad = box.addSong(box.songs, "Bad - Named.mp3", 2);
    std::string c = box.addSong(box.songs, "C - B - 2001 - D - 0_01.mp3", 1);

    const std::string err = box.run();

    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{bad, c}));
    EXPECT_EQ(box.readList(), bad + "\r\n" + c + "\r\n");
    EXPECT_NE(err.find("quavix: playing \"" + bad + "\""), std::string::npos) << err;
    EXPECT_EQ(box.log(), Header + row("\"\",\"\",\"\",\"\",\"0\"", bad) +
                             row("\"C\",\"B\",\"2001\",\"D\",\"1\"", c));
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
}

// What the first run would ask for, and what a station cannot run without, end it with a
// status that the service manager shows and does not restart on; nothing is written. A
// FIFO is refused without waiting for a writer.
TEST(Station, AProfileItCannotUseEndsWithTheConfigurationStatus)
{
    enum class Kind { Missing, Profile, Folder, Fifo };
    struct Case {
        const char* what;
        Kind kind;
        bool withList, withFolder;
        const char* said;
    };
    const Case cases[] = {
        {"missing", Kind::Missing, true, true, "cannot read the station profile"},
        {"no FileList", Kind::Profile, false, true, "names no song list: set FileList"},
        {"no folder", Kind::Profile, true, false, "names no song folder: set MP3Location001"},
        {"a folder", Kind::Folder, true, true, "it is a folder"},
        {"a FIFO", Kind::Fifo, true, true, "it is not a regular file"},
    };
    for (const Case& c : cases) {
        StationRig box;
        box.addSong(box.songs, "A - B - 2001 - D - 0_02.mp3", 2);
        fs::remove(box.profileFile);
        if (c.kind == Kind::Profile)
            box.writeProfile("", c.withList, c.withFolder);
        if (c.kind == Kind::Folder)
            fs::create_directories(box.profileFile);
        if (c.kind == Kind::Fifo) {
            ASSERT_EQ(::mkfifo(box.profileFile.c_str(), 0600), 0);
        }
        const std::string err = box.run();
        EXPECT_EQ(box.process.endStatus, StationConfigError) << c.what;
        EXPECT_NE(err.find(c.said), std::string::npos) << c.what << ": " << err;
        EXPECT_NE(err.find(box.profileFile), std::string::npos) << c.what << ": " << err;
        EXPECT_TRUE(box.media.opened.empty()) << c.what;
        EXPECT_FALSE(fs::exists(box.playList)) << c.what;
        EXPECT_TRUE(box.dialogs.boxes.empty()) << c.what;
    }
}

// SIGTERM mid-song: the song stops, its row (written when it began) stays, the station ends
// with status 0 at the engine's next check.
TEST(Station, StopBySignalEndsMidSongWithItsRowWritten)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_30.mp3", 30);
    box.addSong(box.songs, "B - B - 2001 - D - 0_30.mp3", 30);
    long stoppedAt = -1;
    box.process.onEvents = [&] {
        box.media.deliverEvents();
        if (stoppedAt < 0 && box.media.currentPosition() >= 10) {
            stoppedAt = box.process.sleptMs;
            stopStation();
        }
    };

    box.run();

    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, std::vector<std::string>{a});
    EXPECT_LE(box.process.sleptMs - stoppedAt, 200);
    EXPECT_EQ(box.log(), Header + row("\"A\",\"B\",\"2001\",\"D\",\"30\"", a));
    EXPECT_TRUE(box.dialogs.boxes.empty());
}

// A stop that arrives while the engine lets events through before a song makes the engine
// return; a station has nothing else to live on, so it idles until Play, then plays on.
TEST(Station, AStopThatEndsTheEngineIdlesUntilPlayAndThenPlaysOn)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_01.mp3", 1);
    std::string b = box.addSong(box.songs, "B - B - 2001 - D - 0_01.mp3", 1);
    box.process.actions.push_back([] { globals().gStopPlay = true; });
    int idle = 0;
    box.process.onEvents = [&] {
        box.media.deliverEvents();
        if (globals().gStopPlay && box.media.opened.empty() && ++idle == 5)
            resumeStation();
    };

    box.run();

    EXPECT_EQ(idle, 5);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b}));
    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
}

// Songs deleted under a station at random: none is retried at once for ever. Each is said
// once, that nothing can be played once; the station waits between tries and lists its
// folder again every few seconds, so a song that comes back plays soon.
TEST(Station, SongsThatGoAwayAreSaidOnceAndTriedAtAPaceUntilOneComesBack)
{
    StationRig box;
    box.writeProfile("Action=Random\n");
    const std::string bName = "B - B - 2001 - D - 0_01.mp3";
    const std::vector<std::string> songs = {
        box.addSong(box.songs, "A - B - 2001 - D - 0_01.mp3", 1), box.addSong(box.songs, bName, 1),
        box.addSong(box.songs, "C - B - 2001 - D - 0_01.mp3", 1)};
    bool gone = false, back = false, stopped = false;
    long goneAt = 0, backAt = 0, eventsWhileGone = 0, playingAgainAfter = -1;
    std::size_t opensWhileGone = 0;
    box.process.onEvents = [&] {
        box.media.deliverEvents();
        const long now = box.process.sleptMs;
        if (!gone && box.media.opened.size() == 1) {
            for (const std::string& s : songs) {
                fs::remove(s);
                box.media.removeItem(s);
            }
            gone = true;
            goneAt = now;
        } else if (gone && !back) {
            ++eventsWhileGone;
            if (now - goneAt >= 60000) {
                opensWhileGone = box.media.opened.size() - 1;
                box.addSong(box.songs, bName, 1);
                back = true;
                backAt = now;
            }
        } else if (back && !stopped && box.media.playState() == MediaPlayer::Playing) {
            playingAgainAfter = now - backAt;
            stopped = true;
            stopStation();
        }
    };

    const std::string err = box.run();

    ASSERT_TRUE(back) << "60 s never passed: " << eventsWhileGone << " event rounds, "
                      << box.media.opened.size() << " opens, " << count(err, "\n") << " lines";
    EXPECT_LE(eventsWhileGone, 800) << "the station must wait, not spin";
    EXPECT_LE(opensWhileGone, 20u);
    EXPECT_GE(playingAgainAfter, 0);
    EXPECT_LE(playingAgainAfter, 5200) << "the folder is listed again every 5 s";
    for (const std::string& s : songs)
        EXPECT_LE(count(err, "\"" + s + "\" could not be played"), 1) << err;
    EXPECT_EQ(count(err, "listed again every 5 s"), 1) << err;
    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.log(), Header + row("\"A\",\"B\",\"2001\",\"D\",\"1\"", songs[0]) +
                             row("\"B\",\"B\",\"2001\",\"D\",\"1\"", songs[1]));
}

// A station with nothing to play when it starts is set up wrong: its line names each song
// folder and what is wrong with it, and it ends with the configuration status, which the
// service manager shows and does not restart on (status 0 and "End Of Play List" hid it).
TEST(Station, NothingToPlayAtTheStartNamesTheFolderAndEndsWithTheConfigurationStatus)
{
    struct Case {
        const char* what;
        std::function<void(StationRig&)> make;
        std::string said;
    };
    const std::string folder = "the song folder \"%\" (MP3Location001) ";
    const std::vector<Case> cases = {
        {"missing", [](StationRig& b) { fs::remove_all(b.songs); }, folder + "does not exist"},
        {"a file",
         [](StationRig& b) {
             fs::remove_all(b.songs);
             writeText(b.box.path("songs"), "x");
         },
         folder + "is not a folder"},
        {"empty", [](StationRig&) {}, folder + "holds no song file (*.mp3)"},
        {"unreadable",
         [](StationRig& b) {
             b.addSong(b.songs, "A - B - 2001 - D - 0_02.mp3", 2);
             fs::permissions(b.songs, fs::perms::none);
         },
         folder + "cannot be read: Permission denied"},
        {"only bad names", [](StationRig& b) { b.addSong(b.songs, "Bad Name.mp3", 2); },
         "every song file was left out for its name"},
    };
    for (const Case& c : cases) {
        if (std::string(c.what) == "unreadable" && ::geteuid() == 0)
            continue; // nothing is unreadable to root
        StationRig box;
        box.writeProfile();
        c.make(box);
        std::string said = c.said;
        if (auto at = said.find('%'); at != std::string::npos)
            said.replace(at, 1, box.songs);
        const std::string err = box.run();
        std::error_code ec; // the folder the case took away is not there to put back
        fs::permissions(box.songs, fs::perms::owner_all, fs::perm_options::replace, ec);
        EXPECT_EQ(box.process.endStatus, StationConfigError) << c.what << ": " << err;
        EXPECT_NE(err.find("quavix: nothing to play, so the station ends: " + said),
                  std::string::npos)
            << c.what << ": " << err;
        EXPECT_TRUE(box.media.opened.empty()) << c.what;
        EXPECT_TRUE(box.dialogs.boxes.empty()) << c.what;
    }
}

// A profile that goes bad while the station runs stops it, as its check says, and one line
// says why: nobody watches a station.
TEST(Station, AProfileThatGoesBadWhileItRunsStopsItWithOneLineSayingWhy)
{
    struct Case {
        const char* what;
        void (*spoil)(const std::string& profile);
        const char* said;
    };
    const Case cases[] = {
        {"deleted", [](const std::string& p) { fs::remove(p); }, "does not exist"},
        {"a folder",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_directories(p);
         },
         "is a folder"},
        {"garbage", [](const std::string& p) { writeText(p, "\x01\x7f\xfe garbage\n"); },
         "has no Continue=Yes in [Play Status]"},
    };
    for (const Case& c : cases) {
        StationRig box;
        box.writeProfile();
        const std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_02.mp3", 2);
        box.addSong(box.songs, "B - B - 2001 - D - 0_02.mp3", 2);
        bool spoiled = false;
        int idle = 0;
        box.process.onEvents = [&] {
            box.media.deliverEvents();
            if (!spoiled && box.media.opened.size() == 1) {
                c.spoil(box.profileFile);
                spoiled = true;
            } else if (spoiled && globals().gStopPlay && ++idle == 30) {
                stopStation();
            }
        };
        const std::string err = box.run();
        EXPECT_EQ(box.media.opened, std::vector<std::string>{a}) << c.what;
        EXPECT_EQ(box.process.endStatus, 0) << c.what;
        EXPECT_EQ(count(err, "quavix: the station stops: its profile \"" + box.profileFile + "\" " +
                                 c.said),
                  1)
            << c.what << ": " << err;
    }
}

// Random order never runs out by itself: a list of nothing but bad names (changed behind
// the builder's back) must end the station, not keep it choosing.
TEST(Station, ARandomListOfOnlyBadNamesEndsWithAFailure)
{
    StationRig box;
    Globals& g = globals();
    g.gStation = true;
    g.gBadNames = "Skip";
    g.gStartUpAction = "Random";
    g.gPlayListFile = box.playList;
    box.writeList({box.songs + "one.mp3", box.songs + "two.mp3"});
    g.gSongCount = 2;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(clsGetNextSong().fPerformGetNextSong(), fakes::ProgramEnded);
    drainStandardError(5000);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(box.process.endStatus, 1);
    EXPECT_NE(err.find("no song of the list"), std::string::npos) << err;
    EXPECT_FALSE(g.gStopPlay);
}

namespace {

// Everything a reader gets from `fd` until every writer has closed it.
std::string readAll(int fd)
{
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    return text;
}

} // namespace

TEST(LineDialogs, EveryBoxIsOneLineWithItsTitleTextAndAnswer)
{
    EXPECT_EQ(LineDialogs::boxLine("End Of Play List",
                                   "The last song has been played\r\n\r\nClick OK to exit",
                                   MsgButtons::Ok),
              "quavix: End Of Play List: The last song has been played / Click OK to exit "
              "(answered OK)");
    EXPECT_EQ(LineDialogs::boxLine("Two\nLines", "a\nb\r\n", MsgButtons::YesNo),
              "quavix: Two / Lines: a / b (answered No)");

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto reader = std::async(std::launch::async, [fd = fds[0]] { return readAll(fd); });
    {
        LineWriter out(fds[1]);
        LineDialogs dialogs(out);
        EXPECT_EQ(dialogs.messageBox("Q", "Sure?", MsgIcon::Question, MsgButtons::YesNo),
                  MsgAnswer::No);
        EXPECT_EQ(dialogs.messageBox("I", "Note", MsgIcon::Information, MsgButtons::Ok),
                  MsgAnswer::Ok);
        FileDialogRequest request;
        request.title = "Open";
        EXPECT_EQ(dialogs.openFile(request), std::nullopt);
        EXPECT_TRUE(out.drain(5000));
    }
    ::close(fds[1]);
    EXPECT_EQ(reader.get(), "quavix: Q: Sure? (answered No)\n"
                            "quavix: I: Note (answered OK)\n"
                            "quavix: Open: no file can be chosen here (cancelled)\n");
    ::close(fds[0]);
}

// A reader that does not read (a pipe into a pager left alone, a stalled journal) never
// holds up a line. When it reads again it gets every line that was queued before it
// stalled, those the queue could take after, the count of the dropped ones in their place,
// then what came later.
TEST(LineWriter, AReaderThatDoesNotReadHoldsNothingUpAndLearnsHowManyLinesWereLost)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto line = [](int i) {
        std::string text = "line " + std::to_string(10000 + i);
        return text + std::string(99 - text.size(), '.');
    };
    int stalledAt = 0, total = 0;
    std::string got;
    {
        LineWriter out(fds[1], 8192);
        // Line by line until one is not written within 500 ms: the pipe is full.
        do
            out.write(line(stalledAt++));
        while (out.drain(500) && stalledAt < 10000);
        ASSERT_GT(stalledAt, 300) << "the pipe holds 64 kB";
        total = stalledAt + 1000; // far more than the queue holds
        auto writing = std::async(std::launch::async, [&] {
            for (int i = stalledAt; i < total; ++i)
                out.write(line(i));
        });
        ASSERT_EQ(writing.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << "write() waited for the reader";
        auto reader = std::async(std::launch::async, [fd = fds[0]] { return readAll(fd); });
        EXPECT_TRUE(out.drain(10000));
        out.write("after");
        EXPECT_TRUE(out.drain(10000));
        ::close(fds[1]);
        got = reader.get();
    }
    ::close(fds[0]);

    std::istringstream lines(got);
    std::string text;
    int written = 0;
    while (std::getline(lines, text) && text == line(written))
        ++written;
    EXPECT_GE(written, stalledAt);
    ASSERT_LT(written, total);
    EXPECT_EQ(text, LineWriter::droppedLine(static_cast<std::uint64_t>(total - written)));
    ASSERT_TRUE(std::getline(lines, text));
    EXPECT_EQ(text, "after");
    EXPECT_FALSE(std::getline(lines, text));
}
