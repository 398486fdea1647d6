// Media player costs: time to open a local MP3 (first open with start-up of the media
// framework, and warm), resident memory and CPU time while playing, for both MP3 decoders.
// Every measurement runs in a fresh child process (this program started again with a mode).
//
//   bench_media                    run everything, print RESULT lines
//   bench_media open <file>        child: one first open and several warm ones
//   bench_media play <file>        child: play the file to its end
//   bench_media link <url> <pls>   child: opens of a stream directly and through a PLS link
#include "BenchSupport.h"
#include "platform/linux/GstMediaPlayer.h"
#include "startup/widgets/StatusDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gst/gst.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 7;
constexpr int WarmOpens = 7;
constexpr int PlaySeconds = 20;

double vmRssMb(pid_t pid = 0)
{
    std::ifstream in(pid ? "/proc/" + std::to_string(pid) + "/status" : "/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            in >> kb;
            return kb / 1024;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Which MP3 decoder's plugin the process loaded.
std::string loadedDecoder()
{
    std::ifstream maps("/proc/self/maps");
    std::string line, found;
    while (std::getline(maps, line)) {
        if (line.find("libgstmpg123.so") != std::string::npos && found.empty())
            found = "mpg123audiodec";
        if (line.find("libgstlibav.so") != std::string::npos)
            found = "avdec_mp3";
    }
    return found.empty() ? "unknown" : found;
}

void prepareDisplay()
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int childOpen(int argc, char** argv, const std::string& file)
{
    prepareDisplay();
    QApplication app(argc, argv);
    quavix::GstMediaPlayer player;
    double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    player.setFileName(file);
    double first = t.nsecsElapsed() / 1e6;
    double firstCpu = (cpuSeconds() - cpu0) * 1000;
    if (player.playState() != quavix::MediaPlayer::Playing) {
        std::fprintf(stderr, "open failed: %s\n", player.errorDescription().c_str());
        return 1;
    }
    std::printf("FIRST %.2f\nFIRSTCPU %.2f\n", first, firstCpu);
    for (int i = 0; i < WarmOpens; ++i) {
        t.restart();
        player.setFileName(file);
        std::printf("WARM %.2f\n", t.nsecsElapsed() / 1e6);
    }
    std::printf("DECODER %s\n", loadedDecoder().c_str());
    return 0;
}

int childPlay(int argc, char** argv, const std::string& file)
{
    prepareDisplay();
    QApplication app(argc, argv);
    quavix::GstMediaPlayer player;
    quavix::StatusDisplay display(player);
    display.show();
    QEventLoop loop;
    player.setPlayStateHandler([&](int, int now, bool) {
        display.refresh();
        if (now == quavix::MediaPlayer::Stopped)
            loop.quit();
    });
    player.setFileName(file);
    if (player.playState() != quavix::MediaPlayer::Playing) {
        std::fprintf(stderr, "open failed: %s\n", player.errorDescription().c_str());
        return 1;
    }
    double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    double rss = vmRssMb();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { rss = std::max(rss, vmRssMb()); });
    sampler.start(500);
    QTimer::singleShot((PlaySeconds + 20) * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("CPU %.4f\nWALL %.2f\nRSS %.2f\nDECODER %s\n", cpuSeconds() - cpu0,
                wall.elapsed() / 1000.0, rss, loadedDecoder().c_str());
    return 0;
}

// The same stream opened by its address and through a PLS link to it, in turns, once the
// media framework is up: what the link costs until the first sound is ready.
int childLink(int argc, char** argv, const std::string& url, const std::string& pls)
{
    prepareDisplay();
    QApplication app(argc, argv);
    quavix::GstMediaPlayer player;
    player.setFileName(url);
    for (int i = 0; i < WarmOpens; ++i)
        for (const std::string* what : {&url, &pls}) {
            QElapsedTimer t;
            t.start();
            player.setFileName(*what);
            const double ms = t.nsecsElapsed() / 1e6;
            if (player.playState() != quavix::MediaPlayer::Playing) {
                std::fprintf(stderr, "open failed: %s\n", player.errorDescription().c_str());
                return 1;
            }
            std::printf("%s %.2f\n", what == &url ? "DIRECT" : "LINK", ms);
        }
    return 0;
}

// Lines "KEY value" of a child's output.
std::multimap<std::string, std::string> parse(const QByteArray& out)
{
    std::multimap<std::string, std::string> values;
    for (const QByteArray& line : out.split('\n')) {
        auto parts = line.split(' ');
        if (parts.size() == 2)
            values.emplace(parts[0].toStdString(), parts[1].toStdString());
    }
    return values;
}

std::vector<QByteArray> runChildren(const QStringList& args, const QProcessEnvironment& env,
                                    int count, bool together)
{
    std::vector<QByteArray> outputs;
    std::vector<std::unique_ptr<QProcess>> procs;
    auto finish = [&](QProcess& p) {
        p.waitForFinished(120000);
        if (p.exitCode() != 0)
            std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
        outputs.push_back(p.readAllStandardOutput());
    };
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral("/proc/self/exe"), args);
        if (!together)
            finish(*p);
        else
            procs.push_back(std::move(p));
    }
    for (auto& p : procs)
        finish(*p);
    return outputs;
}

struct Figures {
    double first = 0, firstCpu = 0, warm = 0, rss = 0, cpu = 0, wall = 0;
    std::string decoder;
};

Figures measure(const std::string& shortFile, const std::string& longFile,
                const QProcessEnvironment& env)
{
    Figures f;
    std::vector<double> first, firstCpu, warm, rss, cpu, wall;
    for (const auto& out :
         runChildren({"open", QString::fromStdString(shortFile)}, env, Runs, false)) {
        for (auto& [k, v] : parse(out)) {
            if (k == "FIRST")
                first.push_back(std::stod(v));
            else if (k == "FIRSTCPU")
                firstCpu.push_back(std::stod(v));
            else if (k == "WARM")
                warm.push_back(std::stod(v));
            else if (k == "DECODER")
                f.decoder = v;
        }
    }
    // Playing keeps real time; the runs share the wall clock, not the CPU time they use.
    for (const auto& out :
         runChildren({"play", QString::fromStdString(longFile)}, env, Runs, true)) {
        for (auto& [k, v] : parse(out)) {
            if (k == "CPU")
                cpu.push_back(std::stod(v));
            else if (k == "RSS")
                rss.push_back(std::stod(v));
            else if (k == "WALL")
                wall.push_back(std::stod(v));
        }
    }
    f.first = bench::median(first);
    f.firstCpu = bench::median(firstCpu);
    f.warm = bench::median(warm);
    f.rss = bench::median(rss);
    f.cpu = bench::median(cpu);
    f.wall = bench::median(wall);
    return f;
}

bool soundDeviceAvailable()
{
    if (access("/dev/snd", F_OK) == 0)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && (access((std::string(runtime) + "/pulse/native").c_str(), F_OK) == 0 ||
                       access((std::string(runtime) + "/pipewire-0").c_str(), F_OK) == 0);
}

// mpv playing the same long file: CPU time and resident memory of the whole process.
void measureMpv(const std::string& mpv, const std::string& longFile, bool realSink)
{
    std::vector<double> cpu, rss;
    for (int i = 0; i < 5; ++i) {
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        QProcess p;
        p.start(QString::fromStdString(mpv),
                {"--no-config", "--no-video", "--really-quiet",
                 realSink ? "--ao=auto" : "--ao=null", QString::fromStdString(longFile)});
        if (!p.waitForStarted())
            return;
        double peak = 0;
        while (!p.waitForFinished(500))
            peak = std::max(peak, vmRssMb(static_cast<pid_t>(p.processId())));
        getrusage(RUSAGE_CHILDREN, &after);
        auto secs = [](const rusage& r) {
            return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
                   (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
        };
        cpu.push_back(secs(after) - secs(before));
        rss.push_back(peak);
    }
    std::printf("PEER mpv media_cpu_per_20s %.3f s\n", bench::median(cpu));
    std::printf("PEER mpv media_rss_playing %.1f MB\n", bench::median(rss));
}

// A PLS link served by a local web server beside the stream it names.
void measureLink(const QString& folder, const QProcessEnvironment& env)
{
    const int port = bench::freePort();
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    {
        std::ofstream pls((folder + "/radio.pls").toStdString());
        pls << "[playlist]\nNumberOfEntries=1\nFile1=" << base.toStdString()
            << "long.mp3\nTitle1=Radio\nVersion=2\n";
    }
    QProcess server;
    server.start(QStringLiteral("python3"), {"-m", "http.server", "--bind", "127.0.0.1",
                                             "--directory", folder, QString::number(port)});
    if (!server.waitForStarted() || !bench::waitForPort(port, 10000)) {
        std::fprintf(stderr, "bench_media: no local web server, no link figures\n");
        return;
    }
    std::vector<double> direct, link;
    for (const auto& out :
         runChildren({"link", base + "long.mp3", base + "radio.pls"}, env, Runs, false))
        for (auto& [k, v] : parse(out))
            (k == "DIRECT" ? direct : link).push_back(std::stod(v));
    server.terminate();
    server.waitForFinished(5000);
    if (direct.empty() || link.empty())
        return;
    std::printf("RESULT media_stream_open %.1f ms\n", bench::median(direct));
    std::printf("RESULT media_pls_link_open %.1f ms\n", bench::median(link));
    std::printf("RESULT media_pls_link_extra %.1f ms\n",
                bench::median(link) - bench::median(direct));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "open")
        return childOpen(argc, argv, argv[2]);
    if (argc == 3 && std::string(argv[1]) == "play")
        return childPlay(argc, argv, argv[2]);
    if (argc == 4 && std::string(argv[1]) == "link")
        return childLink(argc, argv, argv[2], argv[3]);

    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    QTemporaryDir dir;
    std::string shortFile = dir.filePath("short.mp3").toStdString();
    std::string longFile = dir.filePath("long.mp3").toStdString();
    bench::generateMp3(shortFile, 40, "pink-noise");
    bench::generateMp3(longFile, PlaySeconds * 10, "pink-noise");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    bool realSink = soundDeviceAvailable();
    if (realSink)
        env.remove(QStringLiteral("QUAVIX_AUDIO_SINK"));
    else
        env.insert(QStringLiteral("QUAVIX_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
    std::fprintf(stderr, "bench_media: output %s\n",
                 realSink ? "default sound device" : "fakesink sync=true");

    Figures ours = measure(shortFile, longFile, env);
    QProcessEnvironment libav = env;
    // Put the libav decoder above everything, including the rank the player gives mpg123.
    libav.insert(QStringLiteral("GST_PLUGIN_FEATURE_RANK"), QStringLiteral("avdec_mp3:MAX"));
    Figures other = measure(shortFile, longFile, libav);

    std::fprintf(stderr, "bench_media: kept decoder %s; other %s; play wall %.1f s / %.1f s\n",
                 ours.decoder.c_str(), other.decoder.c_str(), ours.wall, other.wall);
    std::printf("RESULT media_first_open %.1f ms\n", ours.first);
    // CPU time of the first open (all threads): what the open costs when the machine is busy.
    std::printf("RESULT media_first_open_cpu %.1f ms\n", ours.firstCpu);
    std::printf("RESULT media_warm_open %.1f ms\n", ours.warm);
    std::printf("RESULT media_rss_playing %.1f MB\n", ours.rss);
    std::printf("RESULT media_cpu_per_20s %.3f s\n", ours.cpu);
    std::printf("RESULT media_libav_first_open %.1f ms\n", other.first);
    std::printf("RESULT media_libav_first_open_cpu %.1f ms\n", other.firstCpu);
    std::printf("RESULT media_libav_warm_open %.1f ms\n", other.warm);
    std::printf("RESULT media_libav_rss_playing %.1f MB\n", other.rss);
    std::printf("RESULT media_libav_cpu_per_20s %.3f s\n", other.cpu);

    measureLink(dir.path(), env);

    std::string mpv = QStandardPaths::findExecutable(QStringLiteral("mpv")).toStdString();
    if (!mpv.empty())
        measureMpv(mpv, longFile, realSink);
    else
        std::fprintf(stderr, "bench_media: mpv not installed, no peer figures\n");
    return 0;
}
