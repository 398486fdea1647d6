// Start-up costs: the launcher's hand-off to a running instance (exec to exit), and, under
// a display, the full program from start to its strip being mapped (against a bare Qt
// Widgets window of the same size), the first sound of an MP3 named on the command line
// after the strip shows, the strip's resident memory when idle and the CPU time it uses in
// 20 s of idling.
//
//   bench_startup          run everything, print RESULT lines
//   bench_startup serve    child: an instance server until killed (reports "ready")
#include "BenchSupport.h"
#include "platform/linux/InstanceServer.h"

#include <QCoreApplication>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Runs = 15;
constexpr int StripRuns = 7;
// Map times of single starts scatter by milliseconds on a busy machine: more pairs.
constexpr int MapRuns = 21;
constexpr int RssRuns = 3;

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::string appDir()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string() +
           "/src/app";
}

pid_t spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// A sandbox: XDG folders in a temporary folder, a profile naming a play list, own socket.
std::string makeSandbox()
{
    char pattern[] = "/tmp/quavix-bench-XXXXXX";
    std::string root = ::mkdtemp(pattern);
    for (const char* sub : {"config/quavix", "data", "state", "runtime"})
        std::filesystem::create_directories(root + "/" + sub);
    ::chmod((root + "/runtime").c_str(), 0700);
    std::ofstream(root + "/config/quavix/quavix.ini")
        << "[File Locations]\nFileList=" << root << "/list.m3u\n";
    std::ofstream(root + "/list.m3u");
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
    ::setenv("QUAVIX_INSTANCE_NAME", ("quavix-bench-" + std::to_string(::getpid())).c_str(), 1);
    ::setenv("QUAVIX_AUDIO_SINK", "fakesink sync=true", 1);
    return root;
}

int serve(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quavix::InstanceServer server([] {});
    if (!server.listen())
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

void benchHandOff(const std::string& self)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    pid_t server = ::fork();
    if (server == 0) {
        ::dup2(ready[1], 1);
        ::execl(self.c_str(), self.c_str(), "serve", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    char buf[8] = {};
    if (::read(ready[0], buf, sizeof buf) <= 0) {
        std::fprintf(stderr, "bench_startup: the instance server did not start\n");
        return;
    }
    std::vector<double> times;
    const std::string launcher = appDir() + "/quavix";
    for (int i = 0; i < Runs; ++i) {
        auto t = Clock::now();
        pid_t pid = spawn({launcher, "/music/song " + std::to_string(i) + ".mp3"});
        int status = 0;
        ::waitpid(pid, &status, 0);
        double ms = msSince(t);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            times.push_back(ms);
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    if (times.size() == Runs)
        std::printf("RESULT startup_handoff %.1f ms\n", bench::median(times));
    else
        std::fprintf(stderr, "bench_startup: %zu of %d hand-offs failed\n", Runs - times.size(),
                     Runs);
}

std::string windowName(Display* d, Window w)
{
    char* name = nullptr;
    std::string out;
    if (XFetchName(d, w, &name) && name)
        out = name;
    if (name)
        XFree(name);
    return out;
}

// The window named title: w itself or, under a window manager, the client inside its frame.
bool isNamed(Display* d, Window w, const std::string& title)
{
    if (windowName(d, w) == title)
        return true;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    bool found = false;
    if (XQueryTree(d, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i)
            found = windowName(d, children[i]) == title;
        if (children)
            XFree(children);
    }
    return found;
}

long cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> f;
    std::string field;
    for (char c : stat.substr(close + 2)) {
        if (c == ' ') {
            f.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    // utime and stime are fields 14 and 15; f[0] is field 3.
    return f.size() > 12 ? std::stol(f[11]) + std::stol(f[12]) : -1;
}

double rssMb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

// One start of a program, watched from outside: when its window was mapped and, when
// soundFile is given, when the first audio reached that file (the program's audio output).
struct Start {
    pid_t pid = -1;
    double mappedMs = -1;
    int width = 0, height = 0;
    double soundMs = -1;
};

Start startAndWatch(Display* d, const std::vector<std::string>& args, const std::string& title,
                    const std::string& soundFile = {})
{
    Start run;
    auto t = Clock::now();
    run.pid = spawn(args);
    auto done = [&] { return run.mappedMs >= 0 && (soundFile.empty() || run.soundMs >= 0); };
    while (run.pid > 0 && !done() && msSince(t) < 10000) {
        if (!soundFile.empty() && run.soundMs < 0) {
            struct stat st {};
            if (::stat(soundFile.c_str(), &st) == 0 && st.st_size > 0)
                run.soundMs = msSince(t);
        }
        if (!XPending(d)) {
            ::usleep(200);
            continue;
        }
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == MapNotify && run.mappedMs < 0 && isNamed(d, e.xmap.window, title)) {
            run.mappedMs = msSince(t);
            XWindowAttributes a{};
            if (XGetWindowAttributes(d, e.xmap.window, &a)) {
                run.width = a.width;
                run.height = a.height;
            }
        }
    }
    return run;
}

void stop(Display* d, pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
    }
}

// The strip against a bare Qt Widgets window of the same size, started in turns so that a
// busy machine weighs on both alike; then the strip with an MP3 on its command line, from
// its mapping to the first audio it writes.
void benchStrip(const std::string& root)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::printf("# no display: strip measurements skipped\n");
        return;
    }
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
    const std::string gui = appDir() + "/quavix-gui";
    std::vector<double> mapped, bare, rss, sound;
    double idleCpuMs = -1;
    int width = 0, height = 0;
    for (int run = 0; run < MapRuns; ++run) {
        Start strip = startAndWatch(d, {gui}, "Quavix");
        if (strip.mappedMs >= 0) {
            mapped.push_back(strip.mappedMs);
            width = strip.width;
            height = strip.height;
        }
        if (strip.mappedMs >= 0 && run < RssRuns) {
            ::sleep(2); // let the first timer ticks and the tray settle
            rss.push_back(rssMb(strip.pid));
            if (run == 0) {
                long before = cpuTicks(strip.pid);
                ::sleep(20);
                long after = cpuTicks(strip.pid);
                idleCpuMs = (after - before) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
            }
        }
        stop(d, strip.pid);
        if (width > 0) {
            Start yardstick = startAndWatch(
                d, {QUAVIX_BARE_WINDOW, std::to_string(width), std::to_string(height)},
                "QuavixBare");
            if (yardstick.mappedMs >= 0)
                bare.push_back(yardstick.mappedMs);
            stop(d, yardstick.pid);
        }
    }

    const std::string song = root + "/song.mp3";
    gst_init(nullptr, nullptr);
    bench::generateMp3(song, 40);
    const std::string output = root + "/output.raw";
    const std::string sink = "filesink buffer-mode=unbuffered location=" + output;
    const char* before = std::getenv("QUAVIX_AUDIO_SINK");
    const std::string quiet = before ? before : "fakesink sync=true";
    ::setenv("QUAVIX_AUDIO_SINK", sink.c_str(), 1);
    for (int run = 0; run < StripRuns; ++run) {
        std::filesystem::remove(output);
        Start strip = startAndWatch(d, {gui, song}, "Quavix", output);
        if (strip.mappedMs >= 0 && strip.soundMs >= 0)
            sound.push_back(strip.soundMs - strip.mappedMs);
        stop(d, strip.pid);
    }
    ::setenv("QUAVIX_AUDIO_SINK", quiet.c_str(), 1);
    XCloseDisplay(d);

    if (mapped.size() != MapRuns || bare.size() != MapRuns) {
        std::fprintf(stderr,
                     "bench_startup: the strip was mapped in %zu of %d runs, the bare "
                     "window in %zu\n",
                     mapped.size(), MapRuns, bare.size());
        return;
    }
    std::printf("RESULT startup_strip_mapped %.1f ms\n", bench::median(mapped));
    std::printf("PEER bare_qt_window startup_strip_mapped %.1f ms\n", bench::median(bare));
    std::printf("RESULT startup_strip_over_bare_window %.2f x\n",
                bench::median(mapped) / bench::median(bare));
    std::printf("RESULT startup_idle_rss %.1f MB\n", bench::median(rss));
    std::printf("RESULT startup_idle_cpu_20s %.0f ms\n", idleCpuMs);
    if (sound.size() == StripRuns)
        std::printf("RESULT startup_first_mp3_after_strip %.1f ms\n", bench::median(sound));
    else
        std::fprintf(stderr, "bench_startup: the command-line MP3 played in %zu of %d runs\n",
                     sound.size(), StripRuns);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "serve")
        return serve(argc, argv);
    std::string root = makeSandbox();
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    benchHandOff(self);
    benchStrip(root);
    std::filesystem::remove_all(root);
    return 0;
}
