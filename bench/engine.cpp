// Play engine costs: building the song list from 50,000 files in 5 folders, choosing the
// next song from a 50,000-line list, the CPU the engine takes while it idles, and a soak of
// 500 short songs played back to back through GStreamer (every song logged once, memory
// growth from the 50th song to the last).
#include "BenchSupport.h"
#include "engine/clsCreateFileList.h"
#include "engine/clsGetNextSong.h"
#include "engine/clsMainPerformLoop.h"
#include "platform/linux/GstMediaPlayer.h"
#include "platform/linux/QtProcess.h"
#include "platform/posix/IniProfile.h"
#include "platform/posix/SystemClock.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace quavix;

namespace {

constexpr int Runs = 5;

struct Ended {};

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double rssMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void fail(const char* what)
{
    std::fprintf(stderr, "bench_engine: %s\n", what);
    std::exit(1);
}

class AnswerOk : public Dialogs {
public:
    MsgAnswer messageBox(const std::string& title, const std::string& text, MsgIcon,
                         MsgButtons) override
    {
        if (title != "End Of Play List")
            std::fprintf(stderr, "bench_engine: box %s: %s\n", title.c_str(), text.c_str());
        return MsgAnswer::Ok;
    }
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return {}; }
};

class FixedRandom : public Random {
public:
    void seedFromClock() override {}
    double next() override { return m_next = m_next > 0.9 ? 0.013 : m_next + 0.137; }

private:
    double m_next = 0.5;
};

// The real event pump; ending the program returns to the benchmark instead.
class BenchProcess : public QtProcess {
public:
    BenchProcess() : QtProcess({}, nullptr) {}
    [[noreturn]] void endProgram(int = 0) override { throw Ended{}; }
};

std::string songName(int folder, int i)
{
    return "Group " + std::to_string(folder) + " - Some CD Title - 1999 - Song " +
           std::to_string(i) + " - 3_45.mp3";
}

void benchSongList(const fs::path& dir)
{
    Globals& g = globals();
    for (int f = 0; f < 5; ++f) {
        fs::path folder = dir / ("folder" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < 10000; ++i)
            std::ofstream(folder / songName(f, i));
        g.gMP3Locations.push_back(folder.string() + "/");
    }
    g.gPlayListFile = (dir / "list.m3u").string();
    std::vector<double> build;
    for (int r = 0; r < Runs; ++r) {
        double t0 = nowSeconds();
        clsCreateFileList().fCreateFileList();
        build.push_back(nowSeconds() - t0);
        if (g.gSongCount != 50000 || g.gStopPlay)
            fail("song list incomplete");
    }
    std::printf("RESULT engine_song_list_50k_files %.3f s\n", bench::median(build));

    std::vector<double> inOrder, atRandom;
    for (int r = 0; r < Runs; ++r) {
        g.gStartUpAction = "Preview";
        g.gSongIndex = 49999; // the last line: the whole file is read
        double t0 = nowSeconds();
        clsGetNextSong().fPerformGetNextSong();
        inOrder.push_back((nowSeconds() - t0) * 1000);
        if (g.gSongIndex != 50000 || g.gCurrentTitle != " Song 9999 ")
            fail("wrong next song");
        g.gStartUpAction = "Random";
        t0 = nowSeconds();
        clsGetNextSong().fPerformGetNextSong();
        atRandom.push_back((nowSeconds() - t0) * 1000);
    }
    std::printf("RESULT engine_next_song_50k_lines %.2f ms\n", bench::median(inOrder));
    std::printf("RESULT engine_random_song_50k_lines %.2f ms\n", bench::median(atRandom));
}

// Closes "the main window" after a while, as a timer event seen by the engine's pump.
struct Closer : QObject {
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::Timer)
            return QObject::event(e);
        globals().gExitProgram = true;
        return true;
    }
};

void benchIdle()
{
    Globals& g = globals();
    std::vector<double> cpu;
    for (int r = 0; r < Runs; ++r) {
        g.gStopPlay = true; // stopped by the user: the engine polls every 100 ms
        g.gExitProgram = false;
        Closer closer;
        closer.startTimer(2000);
        double wall0 = nowSeconds(), cpu0 = cpuSeconds();
        try {
            clsMainPerformLoop().fPerformPlaySongs();
        } catch (const Ended&) {
        }
        cpu.push_back(100.0 * (cpuSeconds() - cpu0) / (nowSeconds() - wall0));
    }
    std::printf("RESULT engine_idle_cpu %.3f %%\n", bench::median(cpu));
}

void benchSoak(const fs::path& dir)
{
    Globals& g = globals();
    const int songs = 500;
    fs::path source = dir / "source";
    fs::create_directories(source);
    const double lengths[] = {0.2, 0.3, 0.4, 0.5};
    for (int i = 0; i < 4; ++i) {
        std::string cmd =
            "gst-launch-1.0 -q audiotestsrc wave=sine freq=" + std::to_string(300 + 100 * i) +
            " num-buffers=" + std::to_string(int(lengths[i] * 44100 / 1024) + 1) +
            " ! audioconvert ! lamemp3enc ! xingmux ! filesink location=\"" +
            (source / (std::to_string(i) + ".mp3")).string() + "\"";
        if (std::system(cmd.c_str()) != 0)
            fail("cannot generate songs with gst-launch-1.0");
    }
    g.gMP3Locations.clear();
    for (int f = 0; f < 2; ++f) {
        fs::path folder = dir / ("soak" + std::to_string(f));
        fs::create_directories(folder);
        g.gMP3Locations.push_back(folder.string() + "/");
        for (int i = f; i < songs; i += 2) {
            char name[96];
            std::snprintf(name, sizeof name, "Soak - Generated - 2026 - Song %03d - 0_00.mp3", i);
            fs::copy_file(source / (std::to_string(i % 4) + ".mp3"), folder / name);
        }
    }
    g.gPlayListFile = (dir / "soak.m3u").string();
    g.gLogLocation = (dir / "logs").string() + "/";
    g.gLogDate.clear();
    g.gSongIndex = 0;
    g.gStartUpAction = "Preview";
    g.gStopPlay = g.gExitProgram = false;
    const std::string profile = (dir / "station.ini").string();
    std::ofstream(profile) << "[Play Status]\nContinue=Yes\n";
    g.gLogActivity = true;
    g.gCommandLine = profile;

    // Counts the songs the engine opens and takes the memory at the 50th.
    struct Counting : GstMediaPlayer {
        int opened = 0;
        double rssAt50 = 0;
        void setFileName(const std::string& name) override
        {
            GstMediaPlayer::setFileName(name);
            if (++opened == 50)
                rssAt50 = rssMegabytes();
        }
    } player;
    MediaPlayer* const quiet = services().media;
    services().media = &player;
    double t0 = nowSeconds();
    try {
        clsMainPerformLoop().fPerformPlaySongs();
    } catch (const Ended&) {
    }
    double wall = nowSeconds() - t0;
    double growth = rssMegabytes() - player.rssAt50;

    std::map<std::string, int> logged;
    std::ifstream log(g.gLogLocation + "OnAirActivity-" + g.gLogDate + ".log");
    std::string line;
    int rows = -1; // the header
    while (std::getline(log, line)) {
        ++rows;
        auto file = line.rfind(",\"");
        if (rows > 0 && file != std::string::npos)
            ++logged[line.substr(file + 2)];
    }
    bool once = rows == songs && int(logged.size()) == songs &&
                std::all_of(logged.begin(), logged.end(), [](auto& e) { return e.second == 1; });
    services().media = quiet;
    std::printf("RESULT engine_soak_songs_logged_once %d songs\n", once ? rows : -rows);
    std::printf("RESULT engine_soak_rss_growth_50th_to_500th %.2f MB\n", growth);
    std::printf("RESULT engine_soak_seconds_per_song %.3f s\n", wall / songs);
    if (!once)
        fail("the soak did not log every song exactly once");
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 0);
    QCoreApplication app(argc, argv);
    std::string pattern = (fs::temp_directory_path() / "quavix-bench-engine-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());

    bench::QuietServices quiet;
    AnswerOk dialogs;
    BenchProcess process;
    SystemClock clock;
    FixedRandom random;
    IniProfile profile;
    Services& s = services();
    s.dialogs = &dialogs;
    s.process = &process;
    s.clock = &clock;
    s.random = &random;
    s.profile = &profile;

    benchSongList(dir);
    benchIdle();
    if (argc < 2 || std::string(argv[1]) != "--no-soak")
        benchSoak(dir);

    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
