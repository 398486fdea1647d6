// Play-list player costs: choosing the next entry in a play list file of 100,000 lines (in
// order and at random, current entry near the end, the worst case for a streamed file),
// and the time from three files dropped on the program icon of the real main window to the
// first one playing through GStreamer: in a fresh process (the first drop pays for starting
// the media framework) and warm.
//
//   bench_player              run everything, print RESULT lines
//   bench_player cold <dir>   child: one drop in a fresh process, prints "COLD <ms>"
#include "BenchSupport.h"
#include "engine/PlayListPlayer.h"
#include "mainwindow/Form1.h"
#include "platform/Clock.h"
#include "platform/linux/GstMediaPlayer.h"
#include "platform/linux/QtWindowSystem.h"
#include "platform/posix/IniOptionsStore.h"
#include "startup/AfterFirstPaint.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gst/gst.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 9;
constexpr int Lines = 100000;

template <class F> double millis(F&& f)
{
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

std::string lineFor(int i)
{
    return "/home/listener/Music/Some Group - Some CD Title - 1999 - Song Number " +
           std::to_string(i) + " - 3_45.mp3";
}

class SeededRandom : public quavix::Random {
public:
    void seedFromClock() override {}
    double next() override { return m_u(m_gen); }

private:
    std::mt19937 m_gen{12345};
    std::uniform_real_distribution<double> m_u{0.0, 1.0};
};

void benchNextEntry(const std::filesystem::path& dir)
{
    const std::string list = (dir / "big.m3u").string();
    {
        std::ofstream out(list, std::ios::binary);
        for (int i = 0; i < Lines; ++i)
            out << lineFor(i) << "\r\n";
    }
    const std::string current = lineFor(Lines - 2);
    SeededRandom random;
    std::vector<double> inOrder, atRandom;
    for (int r = 0; r < Runs; ++r) {
        std::optional<quavix::PlayListEntry> e;
        inOrder.push_back(
            millis([&] { e = quavix::chooseNextEntry(list, current, -1, true, random); }));
        if (!e || e->name != lineFor(Lines - 1)) {
            std::fprintf(stderr, "wrong next entry\n");
            std::exit(1);
        }
        atRandom.push_back(
            millis([&] { e = quavix::chooseNextEntry(list, current, -1, false, random); }));
        if (!e) {
            std::fprintf(stderr, "no random entry\n");
            std::exit(1);
        }
    }
    std::printf("RESULT player_next_entry_100k_lines %.2f ms\n", bench::median(inOrder));
    std::printf("RESULT player_random_entry_100k_lines %.2f ms\n", bench::median(atRandom));
}

// A list of nothing but missing files, walked in order as the player passes over each
// entry it cannot play: one step is the next entry after the one that just failed.
void benchSkipMissing(const std::filesystem::path& dir)
{
    const std::string list = (dir / "gone.m3u").string();
    {
        std::ofstream out(list, std::ios::binary);
        for (int i = 0; i < Lines; ++i)
            out << lineFor(i) << "\r\n";
    }
    // The list was written a moment ago; the player meets lists written long before.
    std::filesystem::last_write_time(list, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::minutes(1));
    SeededRandom random;
    long steps = 0;
    const double total = millis([&] {
        std::optional<quavix::PlayListEntry> e = quavix::PlayListEntry{lineFor(0), 0};
        while (e) {
            std::error_code ec;
            if (std::filesystem::exists(e->name, ec)) // the player's test before it plays
                break;
            e = quavix::chooseNextEntry(list, e->name, e->index, true, random);
            ++steps;
        }
    });
    if (steps != Lines) {
        std::fprintf(stderr, "skipped %ld entries of %d\n", steps, Lines);
        std::exit(1);
    }
    std::printf("RESULT player_skip_100k_missing_entries %.0f ms\n", total);
}

using Clock = std::chrono::steady_clock;

// The media player, noting when an item starts playing.
class TimedPlayer : public quavix::GstMediaPlayer {
public:
    std::optional<Clock::time_point> playing;
    void setFileName(const std::string& name) override
    {
        GstMediaPlayer::setFileName(name);
        if (playState() == Playing && !playing)
            playing = Clock::now();
    }
};

// The event pump; once an item plays, the next pump stops the list so the run ends.
class BenchProcess : public quavix::Process {
public:
    TimedPlayer* player = nullptr;
    std::string commandLine() override { return {}; }
    std::vector<std::string> playListEntries() override { return {}; }
    bool previousInstance() override { return false; }
    std::string title() override { return quavix::ProgramTitle; }
    void setTitle(const std::string&) override {}
    bool activateWindow(const std::string&) override { return false; }
    void processEvents() override
    {
        QCoreApplication::processEvents();
        if (player && player->playing && quavix::globals().gPlayingPlayList)
            quavix::PlayListPlayer::stop();
    }
    void waitForEvents(int ms) override
    {
        QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
        processEvents();
    }
    void endProgram(int status = 0) override { std::exit(status); }
};

std::vector<std::string> songs(const std::filesystem::path& dir)
{
    std::vector<std::string> v;
    for (int i = 1; i <= 3; ++i)
        v.push_back(
            (dir / ("Group - CD - 2026 - Song " + std::to_string(i) + " - 0_02.mp3")).string());
    return v;
}

// A strip with real media, drops measured from the drag entering the icon to sound.
class DropBench {
public:
    explicit DropBench(const std::filesystem::path& dir)
        : m_options((dir / "options.ini").string()), m_files(songs(dir))
    {
        auto& s = quavix::services();
        s.media = &m_player;
        s.options = &m_options;
        s.windows = &m_windows;
        s.process = &m_process;
        m_process.player = &m_player;
        quavix::globals().gPlayListFile = (dir / "Quavix.m3u").string();
        quavix::firstPaintDone(); // measured past its start-up
        m_form.Form_Load();
        quavix::setMainWindowLoader([this] { return &m_form; });
        quavix::mainWindow();
    }
    ~DropBench() { quavix::setMainWindowLoader(nullptr); }

    double dropOnce()
    {
        m_player.playing.reset();
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& f : m_files)
            urls << QUrl::fromLocalFile(QString::fromStdString(f));
        data.setUrls(urls);
        auto t0 = Clock::now();
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form.Image1, &enter);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form.Image1, &drop);
        auto deadline = t0 + std::chrono::seconds(10);
        while (!m_player.playing && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!m_player.playing || m_player.fileName() != m_files[0]) {
            std::fprintf(stderr, "the dropped file did not play: %s\n",
                         m_player.errorDescription().c_str());
            std::exit(1);
        }
        double ms = std::chrono::duration<double, std::milli>(*m_player.playing - t0).count();
        // Let the run notice its stop and return before the next drop.
        while (m_form.timerPlay->isActive() || quavix::globals().gPlayingPlayList)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return ms;
    }

private:
    bench::QuietServices m_quiet;
    TimedPlayer m_player;
    quavix::IniOptionsStore m_options;
    quavix::QtWindowSystem m_windows;
    BenchProcess m_process;
    quavix::Form1 m_form;
    std::vector<std::string> m_files;
};

void prepareEnvironment()
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("QUAVIX_AUDIO_SINK"))
        setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 1);
}

int childCold(int argc, char** argv, const std::filesystem::path& dir)
{
    prepareEnvironment();
    QApplication app(argc, argv);
    DropBench bench(dir);
    std::printf("COLD %.2f\n", bench.dropOnce());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "cold")
        return childCold(argc, argv, argv[2]);

    auto dir = std::filesystem::temp_directory_path() /
               ("quavix-bench-player-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    benchNextEntry(dir);
    benchSkipMissing(dir);

    gst_init(nullptr, nullptr);
    for (const auto& f : songs(dir))
        bench::generateMp3(f, 20);

    std::vector<double> cold;
    for (int r = 0; r < 5; ++r) {
        QProcess child;
        child.start(QStringLiteral("/proc/self/exe"),
                    {QStringLiteral("cold"), QString::fromStdString(dir.string())});
        child.waitForFinished(60000);
        auto out = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || out.size() != 2 || out[0] != "COLD") {
            std::fprintf(stderr, "cold child failed: %s\n",
                         child.readAllStandardError().constData());
            return 1;
        }
        cold.push_back(out[1].toDouble());
    }

    prepareEnvironment();
    QApplication app(argc, argv);
    std::vector<double> warm;
    {
        DropBench bench(dir);
        bench.dropOnce();
        for (int r = 0; r < Runs; ++r)
            warm.push_back(bench.dropOnce());
    }
    std::printf("RESULT player_drop_to_sound %.2f ms\n", bench::median(cold));
    std::printf("RESULT player_drop_to_sound_warm %.2f ms\n", bench::median(warm));
    std::filesystem::remove_all(dir);
    return 0;
}
