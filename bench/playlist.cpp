// Play list editor costs on a list of 100,000 entries: opening the editor to its first paint
// (first opening in a fresh process, and again in the same process),
// OK (writing the default play list), both Order commands, removing 50,000 selected entries,
// and adding a folder of 20,000 files.
#include "BenchSupport.h"
#include "platform/Dialogs.h"
#include "platform/OptionsStore.h"
#include "platform/linux/QtWindowSystem.h"
#include "playlist/frmPlayList.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <unistd.h>

namespace {

constexpr int Runs = 5;
constexpr int Entries = 100000;
constexpr int FolderFiles = 20000;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

template <class F> double millis(F&& f)
{
    auto t0 = Clock::now();
    f();
    return msSince(t0);
}

// Answers every file dialog with the same name.
class AnsweringDialogs : public quavix::Dialogs {
public:
    std::string answer;
    quavix::MsgAnswer messageBox(const std::string&, const std::string& text, quavix::MsgIcon,
                                 quavix::MsgButtons) override
    {
        std::fprintf(stderr, "unexpected box: %s\n", text.c_str());
        std::exit(1);
    }
    std::optional<std::string> openFile(const quavix::FileDialogRequest&) override
    {
        return answer;
    }
    std::optional<std::string> saveFile(const quavix::FileDialogRequest&) override
    {
        return answer;
    }
};

class SeededRandom : public quavix::Random {
public:
    void seedFromClock() override {}
    double next() override { return m_u(m_gen); }

private:
    std::mt19937 m_gen{12345};
    std::uniform_real_distribution<double> m_u{0.0, 1.0};
};

// Notes the first paint of the list.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

void writeBigList(const std::string& path)
{
    std::mt19937 gen(99);
    std::vector<int> order(Entries);
    for (int i = 0; i < Entries; ++i)
        order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), gen);
    std::ofstream out(path, std::ios::binary);
    for (int i : order)
        out << (i % 3 ? "/home/listener/Music/" : "/home/listener/music/") << "Group " << i % 997
            << " - Some CD Title - 1999 - Song Number " << i << " - 3_45.mp3\r\n";
}

// Opens the editor on the default list and waits for the list's first paint.
quavix::frmPlayList* openAndPaint(double& ms)
{
    PaintWatch watch;
    auto t0 = Clock::now();
    auto* f = quavix::frmPlayList::instance();
    f->lstCurrentPlayList->viewport()->installEventFilter(&watch);
    f->show();
    while (!watch.painted && msSince(t0) < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ms = msSince(t0);
    f->lstCurrentPlayList->viewport()->removeEventFilter(&watch);
    if (!watch.painted || f->model->count() != Entries)
        fail("the editor did not show the list");
    return f;
}

void close(quavix::frmPlayList* f)
{
    f->mnuFileClose_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Fixture {
    bench::QuietServices quiet;
    bench::MemoryOptions options;
    AnsweringDialogs dialogs;
    SeededRandom random;
    quavix::QtWindowSystem windows;

    explicit Fixture(const std::string& list)
    {
        auto& s = quavix::services();
        s.options = &options;
        s.dialogs = &dialogs;
        s.random = &random;
        s.windows = &windows;
        quavix::globals().gPlayListFile = list;
    }
};

// A fresh process: the editor's first opening, as after the program started.
int childCold(const std::string& list)
{
    Fixture fixture(list);
    double ms = 0;
    close(openAndPaint(ms));
    std::printf("COLD %.2f\n", ms);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "cold")
        return childCold(argv[2]);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quavix-bench-playlist-" + std::to_string(::getpid()));
    const auto folder = dir / "folder";
    std::filesystem::create_directories(folder);
    const std::string list = (dir / "Quavix.m3u").string();
    writeBigList(list);
    for (int i = 0; i < FolderFiles; ++i)
        std::ofstream(folder / ("Group - CD - 2001 - Track " + std::to_string(i) + " - 3_10.mp3"));

    std::vector<double> cold;
    for (int r = 0; r < Runs; ++r) {
        QProcess child;
        child.start(QStringLiteral("/proc/self/exe"),
                    {QStringLiteral("cold"), QString::fromStdString(list)});
        child.waitForFinished(60000);
        auto out = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || out.size() != 2 || out[0] != "COLD")
            fail("the cold child failed");
        cold.push_back(out[1].toDouble());
    }

    Fixture fixture(list);
    AnsweringDialogs& dialogs = fixture.dialogs;
    double warmUp = 0;
    close(openAndPaint(warmUp));

    std::vector<double> open, ok, sequential, shuffled, removed, added;
    for (int r = 0; r < Runs; ++r) {
        double ms = 0;
        auto* f = openAndPaint(ms);
        open.push_back(ms);

        shuffled.push_back(millis([&] { f->mnuEditOrderRandom_Click(); }));
        sequential.push_back(millis([&] { f->mnuEditOrderSequential_Click(); }));
        QCoreApplication::processEvents();

        // Every other entry: 50,000 separate ranges, the hardest selection to take apart.
        QItemSelection every;
        for (int row = 0; row < Entries; row += 2)
            every.select(f->model->index(row), f->model->index(row));
        f->lstCurrentPlayList->selectionModel()->select(every, QItemSelectionModel::Select);
        removed.push_back(millis([&] { f->mnuEditRemoveSelected_Click(); }));
        if (f->model->count() != Entries / 2)
            fail("remove selected left the wrong count");
        QCoreApplication::processEvents();

        dialogs.answer = (folder / "any.mp3").string();
        added.push_back(millis([&] { f->mnuEditAddDirectory_Click(); }));
        if (f->model->count() != Entries / 2 + FolderFiles)
            fail("add directory added the wrong count");
        QCoreApplication::processEvents();

        // OK on a fresh opening writes the 100,000 entries back as they were.
        close(f);
        f = openAndPaint(ms);
        const std::string original = list + ".orig";
        std::filesystem::copy_file(list, original,
                                   std::filesystem::copy_options::overwrite_existing);
        ok.push_back(millis([&] { f->cmdOK_Click(); }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (std::filesystem::file_size(list) != std::filesystem::file_size(original))
            fail("OK did not write the list back");
    }

    std::printf("RESULT playlist_open_100k_first_paint %.1f ms\n", bench::median(cold));
    std::printf("RESULT playlist_open_100k_first_paint_again %.1f ms\n", bench::median(open));
    std::printf("RESULT playlist_ok_write_100k %.1f ms\n", bench::median(ok));
    std::printf("RESULT playlist_order_sequential_100k %.1f ms\n", bench::median(sequential));
    std::printf("RESULT playlist_order_random_100k %.1f ms\n", bench::median(shuffled));
    std::printf("RESULT playlist_remove_50k_selected_of_100k %.1f ms\n", bench::median(removed));
    std::printf("RESULT playlist_add_directory_20k_files %.1f ms\n", bench::median(added));
    std::filesystem::remove_all(dir);
    return 0;
}
