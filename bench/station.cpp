// The station as a service over a long run: `quavix-gui --station` with no display plays
// 1,000 songs of 0.5 s each in list order, once on its own and once broadcasting to a
// private Icecast server. Measured from outside the process, between the 100th song and
// the 1,000th (the log rows say which song plays): the growth of its resident memory and
// of its open file descriptors, and its CPU time per song. The song change's share of that
// CPU time is what remains when the cost of playing (measured on the same station playing
// one long song: decoding, the sink and, when on, encoding and sending) is taken away for
// the time each song took.
//
// A third run plays at random from three songs of 1 s, which are then deleted: its CPU time
// and the lines it writes on standard error in the 10 s after the songs are gone
// (`bench_station gone` runs only this one).
#include "BenchSupport.h"
#include "support/IcecastServer.h"

#include <QCoreApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// `bench_station N` runs N songs (from song N / 10 on) for a quick look.
int Songs = 1000;
int From = 100;

struct Sample {
    double rssMb = 0;
    double cpuMs = 0;
    int fds = 0;
    std::chrono::steady_clock::time_point at;
};

Sample sample(pid_t pid)
{
    Sample s;
    s.at = std::chrono::steady_clock::now();
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream status(proc + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            s.rssMb = std::stod(line.substr(6)) / 1024.0;
    std::ifstream stat(proc + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name, which may hold blanks: utime and stime are 14 and 15.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; rest >> field && i <= 15; ++i)
        if (i >= 14)
            ticks += std::stol(field);
    s.cpuMs = ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    if (DIR* d = ::opendir((proc + "/fd").c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                ++s.fds;
        ::closedir(d);
    }
    return s;
}

int logRows(const fs::path& folder)
{
    int lines = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        for (char c : text)
            lines += c == '\n';
    }
    return lines > 0 ? lines - 1 : 0; // the header
}

std::string appDir()
{
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path().string() + "/src/app";
}

// Starts `quavix-gui --station` on a profile for `folder`; its standard error goes to
// root/stderr<suffix>, its log rows to `logs`.
pid_t startStation(const fs::path& root, const std::string& suffix, const fs::path& folder,
                   const fs::path& logs, const std::string& broadcast,
                   const std::string& action = "Preview")
{
    fs::create_directories(logs);
    const fs::path profile = root / ("station" + suffix + ".ini");
    std::ofstream(profile) << "[File Locations]\nFileList=" << (root / ("list" + suffix)).string()
                           << "\nMP3Location001=" << folder.string()
                           << "/\nLogLocation=" << logs.string()
                           << "/\n[StartUp]\nAction=" << action
                           << "\nLogActivity=Yes\n[Play Status]\nContinue=Yes\n"
                           << broadcast;
    fs::permissions(profile, fs::perms::owner_read | fs::perms::owner_write);

    const std::string gui = appDir() + "/quavix-gui";
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            ::unsetenv(name);
        ::setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 1);
        ::setenv("QUAVIX_INSTANCE_NAME",
                 ("quavix-bench-station-" + std::to_string(::getppid())).c_str(), 1);
        if (!std::freopen((root / ("stderr" + suffix)).c_str(), "w", stderr))
            std::_Exit(126);
        ::execl(gui.c_str(), gui.c_str(), "--station", profile.c_str(), nullptr);
        std::_Exit(127);
    }
    return pid;
}

double msBetween(const Sample& a, const Sample& b)
{
    return std::chrono::duration<double, std::milli>(b.at - a.at).count();
}

// CPU milliseconds per second of a station playing one long song, 5 s into it, over 10 s.
double playingCpuRate(const fs::path& root, const std::string& suffix, const std::string& broadcast)
{
    const fs::path logs = root / ("logs-steady" + suffix);
    const pid_t pid = startStation(root, "-steady" + suffix, root / "long", logs, broadcast);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (logRows(logs) < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const Sample a = sample(pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const Sample b = sample(pid);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return (b.cpuMs - a.cpuMs) / (msBetween(a, b) / 1000.0);
}

// One run; prints its RESULT lines with `suffix`. False when the station did not get through.
bool run(const fs::path& root, const std::string& suffix, const std::string& broadcast)
{
    const fs::path logs = root / ("logs" + suffix);
    const pid_t pid = startStation(root, suffix, root / "songs", logs, broadcast);
    Sample first, last;
    bool haveFirst = false, haveLast = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Songs * 2 + 30);
    int status = -1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        const int rows = logRows(logs);
        if (!haveFirst && rows >= From) {
            first = sample(pid);
            haveFirst = true;
        }
        if (!haveLast && rows >= Songs) {
            last = sample(pid);
            haveLast = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (status == -1) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    if (!haveFirst || !haveLast || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "station%s: %d songs logged, status %d; see %s\n", suffix.c_str(),
                     logRows(logs), status, (root / ("stderr" + suffix)).c_str());
        return false;
    }
    std::printf("RESULT station%s_rss_growth_%dth_to_%dth_song %.2f MB\n", suffix.c_str(), From,
                Songs, last.rssMb - first.rssMb);
    const double perSong = (last.cpuMs - first.cpuMs) / (Songs - From);
    const double songMs = msBetween(first, last) / (Songs - From);
    const double playing = playingCpuRate(root, suffix, broadcast);
    std::printf("RESULT station%s_cpu_per_song %.2f ms\n", suffix.c_str(), perSong);
    std::printf("RESULT station%s_cpu_per_song_change %.2f ms\n", suffix.c_str(),
                perSong - playing * songMs / 1000.0);
    std::printf("RESULT station%s_wall_per_song %.0f ms\n", suffix.c_str(), songMs);
    std::printf("RESULT station%s_fd_growth_%dth_to_%dth_song %d count\n", suffix.c_str(), From,
                Songs, last.fds - first.fds);
    std::printf("RESULT station%s_rss_at_%dth_song %.1f MB\n", suffix.c_str(), Songs, last.rssMb);
    std::fflush(stdout);
    return true;
}

int lineCount(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

// A station at random whose songs are deleted after the first has begun: what it costs and
// writes in the 10 s from then (the song under way plays its second to the end).
bool songsGone(const fs::path& root)
{
    const fs::path folder = root / "gone";
    fs::create_directories(folder);
    for (const char* name : {"A - Gone - 2026 - One - 0_01.mp3", "B - Gone - 2026 - Two - 0_01.mp3",
                             "C - Gone - 2026 - Three - 0_01.mp3"})
        bench::generateMp3((folder / name).string(), 10);
    const fs::path logs = root / "logs-gone";
    const pid_t pid = startStation(root, "-gone", folder, logs, "", "Random");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (logRows(logs) < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool began = logRows(logs) >= 1;
    const Sample a = sample(pid);
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove(entry.path());
    const int linesBefore = lineCount(root / "stderr-gone");
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const Sample b = sample(pid);
    const int lines = lineCount(root / "stderr-gone") - linesBefore;
    ::kill(pid, SIGTERM);
    const auto killDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > killDeadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!began) {
        std::fprintf(stderr, "station_gone: no song began; see %s\n",
                     (root / "stderr-gone").c_str());
        return false;
    }
    std::printf("RESULT station_songs_gone_cpu_10s %.0f ms\n", b.cpuMs - a.cpuMs);
    std::printf("RESULT station_songs_gone_lines_10s %d count\n", lines);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    const bool goneOnly = argc > 1 && std::string(argv[1]) == "gone";
    if (argc > 1 && std::atoi(argv[1]) >= 20) {
        Songs = std::atoi(argv[1]);
        From = Songs / 10;
    }
    const fs::path root = bench::sandbox("station");
    if (root.empty())
        return 1;

    if (goneOnly) {
        const bool ok = songsGone(root);
        std::error_code ec;
        fs::remove_all(root, ec);
        return ok ? 0 : 1;
    }

    // One generated song, copied under 1,000 names that follow the convention.
    const fs::path songs = root / "songs";
    fs::create_directories(songs);
    const std::string first = (songs / "first.tmp").string();
    bench::generateMp3(first, 5);
    for (int i = 1; i <= Songs; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "Group %04d - Bench - 2026 - Song %04d - 0_00.mp3", i, i);
        fs::copy_file(first, songs / name);
    }
    fs::remove(first);
    fs::create_directories(root / "long");
    bench::generateMp3((root / "long" / "Long - Bench - 2026 - Song - 0_20.mp3").string(), 200);

    bool ok = run(root, "", "");
    ok = songsGone(root) && ok;
    quavix::testing::IcecastServer server;
    if (!quavix::testing::IcecastServer::installed() || !server.start()) {
        std::fprintf(stderr, "station: no Icecast server; the broadcasting run is left out\n");
        ok = false;
    } else {
        ok = run(root, "_broadcast",
                 "[Broadcast]\nURL=http://127.0.0.1:" + std::to_string(server.port()) +
                     "/bench.mp3\nPassword=" + quavix::testing::IcecastServer::Password +
                     "\nLocalOutput=No\n") &&
             ok;
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return ok ? 0 : 1;
}
