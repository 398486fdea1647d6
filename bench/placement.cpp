// CPU of one placement tick of the real main window on X11: with a window manager and a
// foreign window in front (both started here when the display has no manager), nothing
// moving. Prints RESULT lines; without an X11 display it prints nothing.
#include "BenchSupport.h"
#include "mainwindow/Form1.h"
#include "platform/linux/X11WindowSystem.h"
#include "platform/posix/IniOptionsStore.h"
#include "startup/AfterFirstPaint.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

namespace {

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool waitFor(const std::function<bool()>& ready, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

std::unique_ptr<QProcess> start(const QString& program, const QStringList& args)
{
    auto p = std::make_unique<QProcess>();
    p->start(program, args);
    return p->waitForStarted(3000) ? std::move(p) : nullptr;
}

void stop(std::unique_ptr<QProcess>& p)
{
    if (p) {
        p->terminate();
        p->waitForFinished(3000);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!quavix::X11WindowSystem::usable()) {
        std::fprintf(stderr, "placement: no X11 display\n");
        return 0;
    }
    const auto dir = std::filesystem::temp_directory_path() / "quavix-bench-placement";
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);

    bench::QuietServices quiet;
    quavix::X11WindowSystem windows;
    quavix::IniOptionsStore options;
    quavix::Services& s = quavix::services();
    s.windows = &windows;
    s.options = &options;

    std::unique_ptr<QProcess> wm;
    if (QProcess::execute(
            "sh", {"-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"}) != 0)
        wm = start("openbox", {"--sm-disable"});
    auto plain =
        start("xmessage", {"-title", "BenchWindow", "-geometry", "400x200+100+150", "bench"});
    quavix::Form1 form;
    quavix::firstPaintDone(); // measured past its start-up
    form.Form_Load();
    form.Timer1->stop(); // the ticks below are driven by hand
    form.show();
    const bool active = waitFor(
        [&] {
            QProcess::execute(
                "sh",
                {"-c", "xdotool search --name '^BenchWindow$' windowactivate >/dev/null 2>&1"});
            return windows.foregroundWindow() != 0;
        },
        5000);
    if (!active)
        std::fprintf(stderr, "placement: no foreign window in front; measuring without one\n");

    constexpr int Ticks = 500;
    form.Timer1_Timer();
    QCoreApplication::processEvents(); // the notices of the strip's own move
    form.Timer1_Timer();
    const auto refreshesBefore = windows.refreshCount();
    double t0 = cpuMs();
    for (int i = 0; i < Ticks; ++i)
        form.Timer1_Timer();
    const double steady = (cpuMs() - t0) / Ticks;

    const auto refreshes = windows.refreshCount() - refreshesBefore;
    std::printf("RESULT placement_tick_cpu %.3f ms\n", steady);
    // Ticks with nothing moving must not ask the server anything.
    std::printf("RESULT placement_x_queries_500_still_ticks %llu count\n",
                static_cast<unsigned long long>(refreshes));
    stop(plain);
    stop(wm);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
