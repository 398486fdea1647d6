// Broadcasting costs, against a private Icecast server on the loopback:
// - CPU time per 20 s of a playing 128 kbit/s MP3 with the broadcast on, against the same
//   without it (the ratio);
// - dead air at an item change as a listener receives it: items that end by themselves
//   are followed by the next one the way the play engine does it (it looks every 100 ms),
//   and the longest silence between the items' sound is measured on the received stream.
//   The items are WAV tones, which start and end with sound, so every silence measured is
//   ours.
//
//   bench_broadcast                         run everything, print RESULT lines
//   bench_broadcast play <file> [port]      child: CPU of 20 s of playing
//   bench_broadcast items <port> <files...> child: play the files one after another
#include "BenchSupport.h"
#include "platform/linux/GstMediaPlayer.h"
#include "support/IcecastServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gst/gst.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int PlaySeconds = 20;
constexpr int Runs = 3;

constexpr const char* Mount = "/bench.mp3";

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

quavix::BroadcastSettings settingsFor(int port, bool localOutput)
{
    quavix::BroadcastSettings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.mount = Mount;
    s.password = quavix::testing::IcecastServer::Password;
    s.localOutput = localOutput;
    return s;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runPipeline(const std::string& description)
{
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &err);
    if (!pipeline || err) {
        std::fprintf(stderr, "%s: %s\n", description.c_str(), err ? err->message : "");
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

int childPlay(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quavix::GstMediaPlayer player;
    if (argc > 3)
        player.setBroadcast(settingsFor(std::atoi(argv[3]), true), {});
    player.setFileName(argv[2]);
    if (player.playState() != quavix::MediaPlayer::Playing) {
        std::fprintf(stderr, "open failed: %s\n", player.errorDescription().c_str());
        return 1;
    }
    waitMs(1000); // connected and steady
    const double cpu0 = cpuSeconds();
    waitMs(PlaySeconds * 1000);
    std::printf("CPU %.4f\n", cpuSeconds() - cpu0);
    return 0;
}

int childItems(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quavix::GstMediaPlayer player;
    player.setBroadcast(settingsFor(std::atoi(argv[2]), true), {});
    player.warmUp();
    waitMs(1500); // the listener tunes in meanwhile
    for (int i = 3; i < argc; ++i) {
        player.setFileName(argv[i]);
        // As the play engine waits for a song: it looks every 100 ms.
        while (player.playState() == quavix::MediaPlayer::Playing) {
            QThread::msleep(100);
            QCoreApplication::processEvents();
        }
    }
    waitMs(1000);
    return 0;
}

// The runs of silence between the first and the last sound of a received MP3, in ms;
// heardSound tells whether there was any sound at all.
std::vector<int> silences(const std::string& mp3, const std::string& raw, bool& heardSound)
{
    heardSound = false;
    if (!runPipeline("filesrc location=\"" + mp3 +
                     "\" ! decodebin ! audioconvert ! "
                     "audioresample ! audio/x-raw,format=S16LE,channels=1,rate=44100 ! "
                     "filesink location=\"" +
                     raw + "\""))
        return {};
    std::ifstream in(raw, std::ios::binary);
    std::vector<int16_t> samples;
    for (int16_t v; in.read(reinterpret_cast<char*>(&v), sizeof v);)
        samples.push_back(v);
    constexpr std::size_t window = 220; // 5 ms
    std::vector<bool> loud;
    for (std::size_t i = 0; i + window <= samples.size(); i += window) {
        int peak = 0;
        for (std::size_t j = i; j < i + window; ++j)
            peak = std::max(peak, std::abs(static_cast<int>(samples[j])));
        loud.push_back(peak > 1000);
    }
    std::vector<int> runs;
    heardSound = std::find(loud.begin(), loud.end(), true) != loud.end();
    const auto first = std::find(loud.begin(), loud.end(), true);
    const auto last = std::find(loud.rbegin(), loud.rend(), true).base();
    int run = 0;
    for (auto it = first; it < last; ++it) {
        if (*it) {
            if (run) {
                runs.push_back(run * 5);
                std::fprintf(stderr, "bench_broadcast: %d ms of silence at %.3f s\n", run * 5,
                             static_cast<double>(it - loud.begin() - run) * 0.005);
            }
            run = 0;
        } else {
            ++run;
        }
    }
    return runs;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 1);
    if (argc >= 3 && std::string(argv[1]) == "play")
        return childPlay(argc, argv);
    if (argc >= 4 && std::string(argv[1]) == "items")
        return childItems(argc, argv);

    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    quavix::testing::IcecastServer server;
    if (!quavix::testing::IcecastServer::installed() || !server.start()) {
        std::fprintf(stderr, "bench_broadcast: no icecast2 server; nothing measured\n");
        return 1;
    }
    const QString port = QString::number(server.port());
    QTemporaryDir dir;
    const std::string song = dir.filePath("song.mp3").toStdString();
    bench::generateMp3(song, (PlaySeconds + 5) * 10, "pink-noise");

    auto cpuOf = [&](const QStringList& args) {
        std::vector<double> cpu;
        for (int i = 0; i < Runs; ++i) {
            QProcess p;
            p.start(QStringLiteral("/proc/self/exe"), args);
            p.waitForFinished((PlaySeconds + 30) * 1000);
            const QByteArray out = p.readAllStandardOutput();
            if (p.exitCode() != 0 || !out.startsWith("CPU ")) {
                std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
                continue;
            }
            cpu.push_back(out.mid(4).trimmed().toDouble());
        }
        return bench::median(cpu);
    };
    const QString file = QString::fromStdString(song);
    const double plain = cpuOf({"play", file});
    const double broadcasting = cpuOf({"play", file, port});

    // Four item changes, heard by one listener.
    QStringList items{"items", port};
    for (int i = 0; i < 5; ++i) {
        const std::string tone = dir.filePath(QStringLiteral("tone%1.wav").arg(i)).toStdString();
        runPipeline("audiotestsrc wave=sine volume=0.5 freq=" + std::to_string(330 + 110 * i) +
                    " num-buffers=20 samplesperbuffer=4410 ! "
                    "audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=\"" +
                    tone + "\"");
        items << QString::fromStdString(tone);
    }
    QProcess station;
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start(QStringLiteral("/proc/self/exe"), items);
    QThread::msleep(800);
    const std::string heard = dir.filePath("heard.mp3").toStdString();
    QProcess listener;
    listener.start(QStringLiteral("curl"),
                   {"-s", "-o", QString::fromStdString(heard),
                    QStringLiteral("http://127.0.0.1:%1%2").arg(port, Mount)});
    station.waitForFinished(60000);
    listener.terminate();
    listener.waitForFinished(5000);
    bool heardSound = false;
    const std::vector<int> gaps =
        silences(heard, dir.filePath("heard.raw").toStdString(), heardSound);

    std::fprintf(stderr, "bench_broadcast: cpu per %d s %.3f s plain, %.3f s broadcasting\n",
                 PlaySeconds, plain, broadcasting);
    std::fprintf(stderr, "bench_broadcast: silences between items:");
    for (int g : gaps)
        std::fprintf(stderr, " %d ms", g);
    std::fprintf(stderr, "\n");
    std::printf("RESULT broadcast_cpu_per_20s %.3f s\n", broadcasting);
    std::printf("RESULT broadcast_cpu_over_plain %.2f x\n", plain > 0 ? broadcasting / plain : 0);
    if (!heardSound) {
        std::fprintf(stderr, "bench_broadcast: the listener received no sound\n");
        return 1;
    }
    // Silence anywhere between the first and the last sound counts, not only at changes.
    std::printf("RESULT broadcast_dead_air_item_change %d ms\n",
                gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()));
    return 0;
}
