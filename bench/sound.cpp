// The station's sound ([Sound] in the profile):
// - measuring a 4-minute MP3 (loudness, true peak, edges): CPU time as a share of its length;
// - looking 10,000 measured songs up at start-up (the cache read, and a look-up per file);
// - a station of 6 songs of 12 s with Crossfade=3 and Loudness=-16, playing (and then also
//   broadcasting to a private Icecast server), against the same station without the keys:
//   CPU time per song and peak resident memory, from outside the process. Its extra CPU per
//   song is set beside what a second decoder costs during a 3 s overlap (3 s of a song
//   decoded on its own).
// The songs are measured before the station starts, as they are after their first play.
#include "BenchSupport.h"
#include "platform/gstreamer/GstLoudness.h"
#include "platform/posix/LoudnessCache.h"
#include "support/IcecastServer.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Songs = 6;
constexpr int SongSeconds = 12;

double cpuSeconds(const rusage& r)
{
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double selfCpu()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return cpuSeconds(r);
}

double rssMb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// CPU seconds of decoding `file` whole into the mixer's format, as a decoder of the player
// does.
double decodeCpu(const std::string& file)
{
    const std::string desc = "filesrc location=\"" + file +
                             "\" ! decodebin ! audioconvert ! audioresample ! "
                             "audio/x-raw,format=F32LE,rate=44100,channels=2 ! fakesink sync=false";
    GstElement* pipeline = gst_parse_launch(desc.c_str(), nullptr);
    const double before = selfCpu();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
        gst_message_unref(m);
    const double took = selfCpu() - before;
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return took;
}

struct Run {
    double cpuPerSongMs = 0;
    double peakRssMb = 0;
    bool ok = false;
};

// `quavix-gui --station` over the songs to the end of its list.
Run station(const fs::path& root, const std::string& name, const std::string& sections)
{
    const fs::path profile = root / (name + ".ini");
    std::ofstream(profile) << "[File Locations]\nFileList=" << (root / (name + ".m3u")).string()
                           << "\nMP3Location001=" << (root / "songs").string()
                           << "/\n[StartUp]\nAction=Preview\n[Play Status]\nContinue=Yes\n"
                           << sections;
    fs::permissions(profile, fs::perms::owner_read | fs::perms::owner_write);
    const std::string gui =
        fs::read_symlink("/proc/self/exe").parent_path().parent_path().string() +
        "/src/app/quavix-gui";
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            ::unsetenv(variable);
        ::setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 1);
        ::setenv("QUAVIX_INSTANCE_NAME", ("quavix-bench-sound-" + name).c_str(), 1);
        if (!std::freopen((root / (name + ".err")).c_str(), "w", stderr))
            std::_Exit(126);
        ::execl(gui.c_str(), gui.c_str(), "--station", profile.c_str(), nullptr);
        std::_Exit(127);
    }
    Run run;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(Songs * SongSeconds + 60);
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            std::fprintf(stderr, "sound: %s did not end; see %s.err\n", name.c_str(),
                         (root / name).c_str());
            return run;
        }
        run.peakRssMb = std::max(run.peakRssMb, rssMb(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuPerSongMs = cpuSeconds(usage) * 1000 / Songs;
    if (!run.ok)
        std::fprintf(stderr, "sound: %s ended with status %d; see %s.err\n", name.c_str(), status,
                     (root / name).c_str());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const fs::path root = bench::sandbox("sound");
    if (root.empty())
        return 1;
    // After XDG_CACHE_HOME: the media framework's plugin registry is then made here, once,
    // and not by the first station measured.
    gst_init(&argc, &argv);
    bool ok = true;

    // --- Measuring a 4-minute MP3 ------------------------------------------------------------
    const std::string long4 = (root / "four-minutes.mp3").string();
    bench::generateMp3(long4, 2400, "pink-noise");
    std::vector<double> shares;
    for (int i = 0; i < 3; ++i) {
        const double before = selfCpu();
        const auto m = quavix::GstLoudness::measure(long4, -50);
        shares.push_back((selfCpu() - before) / 240.0 * 100);
        ok = ok && m.has_value();
    }
    std::printf("RESULT sound_measure_4min_mp3 %.2f %%\n", bench::median(shares));
    std::fflush(stdout);

    // --- 10,000 measured songs looked up ------------------------------------------------------
    const fs::path many = root / "many";
    fs::create_directories(many);
    const std::string cacheFile = (root / "lookup.tsv").string();
    std::vector<std::string> files;
    {
        quavix::LoudnessCache cache(cacheFile);
        cache.load();
        for (int i = 0; i < 10000; ++i) {
            char name[80];
            std::snprintf(name, sizeof name, "Group %05d - Bench - 2026 - Song %05d - 4_00.mp3", i,
                          i);
            files.push_back((many / name).string());
            std::ofstream(files.back()) << i;
            cache.store(files.back(), {-14.0 - i % 7, -1.5, 0.01, 240.0, -50});
        }
    }
    std::vector<double> lookups;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        quavix::LoudnessCache cache(cacheFile);
        cache.load();
        std::size_t found = 0;
        for (const auto& f : files)
            found += cache.find(f).has_value();
        lookups.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        ok = ok && found == files.size();
    }
    std::printf("RESULT sound_cache_10k_lookups %.1f ms\n", bench::median(lookups));
    std::fflush(stdout);

    // --- A station with Crossfade=3 and Loudness=-16, and without -----------------------------
    fs::create_directories(root / "songs");
    const std::string first = (root / "first.mp3").string();
    bench::generateMp3(first, SongSeconds * 10, "pink-noise");
    const auto measured = quavix::GstLoudness::measure(first, -50);
    quavix::LoudnessCache cache((root / "cache/quavix/loudness.tsv").string());
    cache.load();
    for (int i = 1; i <= Songs; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "Group %d - Bench - 2026 - Song %d - 0_%02d.mp3", i, i,
                      SongSeconds);
        fs::copy_file(first, root / "songs" / name);
        if (measured)
            cache.store((root / "songs" / name).string(), *measured);
    }
    const double decoder3s = decodeCpu(first) * 1000 * 3 / SongSeconds;

    quavix::testing::IcecastServer server;
    const bool air = quavix::testing::IcecastServer::installed() && server.start();
    for (const bool broadcast : {false, true}) {
        if (broadcast && !air) {
            std::fprintf(stderr, "sound: no Icecast server; the broadcasting runs are left out\n");
            ok = false;
            break;
        }
        const std::string onAir =
            broadcast ? "[Broadcast]\nURL=http://127.0.0.1:" + std::to_string(server.port()) +
                            "/sound.mp3\nPassword=" + quavix::testing::IcecastServer::Password +
                            "\nLocalOutput=No\n"
                      : "";
        const std::string suffix = broadcast ? "_broadcast" : "";
        const Run plain = station(root, "plain" + suffix, onAir);
        const Run keys =
            station(root, "keys" + suffix, onAir + "[Sound]\nCrossfade=3\nLoudness=-16\n");
        ok = ok && plain.ok && keys.ok;
        if (!plain.ok || !keys.ok)
            continue;
        const double extra = keys.cpuPerSongMs - plain.cpuPerSongMs;
        std::printf("RESULT sound_station%s_cpu_per_song %.1f ms\n", suffix.c_str(),
                    keys.cpuPerSongMs);
        std::printf("PEER no_keys sound_station%s_cpu_per_song %.1f ms\n", suffix.c_str(),
                    plain.cpuPerSongMs);
        std::printf("RESULT sound_station%s_extra_cpu_per_song %.1f ms\n", suffix.c_str(), extra);
        std::printf("PEER decoder_3s sound_station%s_extra_cpu_per_song %.1f ms\n", suffix.c_str(),
                    decoder3s);
        std::printf("RESULT sound_station%s_extra_cpu_over_decoder_3s %.2f x\n", suffix.c_str(),
                    extra / decoder3s);
        std::printf("RESULT sound_station%s_rss %.1f MB\n", suffix.c_str(), keys.peakRssMb);
        std::printf("PEER no_keys sound_station%s_rss %.1f MB\n", suffix.c_str(), plain.peakRssMb);
        std::printf("RESULT sound_station%s_extra_rss %.1f MB\n", suffix.c_str(),
                    keys.peakRssMb - plain.peakRssMb);
        std::fflush(stdout);
    }

    std::error_code ec;
    fs::remove_all(root, ec);
    return ok ? 0 : 1;
}
