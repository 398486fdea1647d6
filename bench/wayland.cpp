// CPU of one placement tick's questions on the Wayland mechanisms, on the thread that asks:
// - sway: a GET_TREE round trip over the IPC socket and the reading of a tree of 30 windows
//   on two outputs (the answer comes from a stand-in compositor on another thread, whose
//   work is the compositor's, not ours);
// - KWin / GNOME: the code in the compositor reports changes, so a tick asks nothing; the
//   cost of taking one report (a frame in, the spot out) is measured too.
#include "platform/linux/FollowerWindowSystem.h"
#include "platform/linux/SwayWindowSystem.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Ticks = 2000;

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

QJsonObject rect(int x, int y, int w, int h)
{
    return {{"x", x}, {"y", y}, {"width", w}, {"height", h}};
}

// A container with the fields sway gives every window.
QJsonObject window(int id, int x, int y, bool focused)
{
    return {{"id", id},
            {"type", "con"},
            {"name", QStringLiteral("Window %1 - some application").arg(id)},
            {"orientation", "none"},
            {"percent", 0.2},
            {"urgent", false},
            {"marks", QJsonArray()},
            {"focused", focused},
            {"layout", "none"},
            {"border", "normal"},
            {"current_border_width", 2},
            {"rect", rect(x, y + 23, 640, 400)},
            {"deco_rect", rect(0, 0, 640, 23)},
            {"window_rect", rect(2, 0, 636, 398)},
            {"geometry", rect(0, 0, 636, 398)},
            {"window", QJsonValue()},
            {"nodes", QJsonArray()},
            {"floating_nodes", QJsonArray()},
            {"focus", QJsonArray()},
            {"fullscreen_mode", 0},
            {"sticky", false},
            {"pid", 1000 + id},
            {"app_id", QStringLiteral("org.example.app%1").arg(id)},
            {"visible", true},
            {"max_render_time", 0},
            {"shell", "xdg_shell"},
            {"inhibit_idle", false},
            {"idle_inhibitors", QJsonObject{{"user", "none"}, {"application", "none"}}}};
}

QByteArray tree()
{
    QJsonArray outputs;
    int id = 10, windowCount = 0;
    for (int o = 0; o < 2; ++o) {
        QJsonArray workspaces;
        for (int w = 0; w < 3; ++w) {
            QJsonArray windows;
            for (int n = 0; n < 5; ++n, ++id)
                windows.append(window(id, 1280 * o + 20 * n, 30 * n, ++windowCount == 22));
            workspaces.append(QJsonObject{{"id", id++},
                                          {"type", "workspace"},
                                          {"name", QString::number(w + 1)},
                                          {"rect", rect(1280 * o, 0, 1280, 800)},
                                          {"nodes", windows},
                                          {"floating_nodes", QJsonArray()}});
        }
        outputs.append(QJsonObject{{"id", id++},
                                   {"type", "output"},
                                   {"name", QStringLiteral("HEADLESS-%1").arg(o + 1)},
                                   {"nodes", workspaces}});
    }
    return QJsonDocument(QJsonObject{{"id", 1}, {"type", "root"}, {"nodes", outputs}})
        .toJson(QJsonDocument::Compact);
}

// Answers every request on the socket with the tree, as sway does GET_TREE.
void serve(int listener, const QByteArray& body, std::atomic<bool>& stop)
{
    const int fd = ::accept(listener, nullptr, nullptr);
    char header[14];
    while (!stop && ::recv(fd, header, sizeof header, MSG_WAITALL) == sizeof header) {
        const std::uint32_t size = static_cast<std::uint32_t>(body.size()), type = 4;
        std::memcpy(header + 6, &size, 4);
        std::memcpy(header + 10, &type, 4);
        if (::send(fd, header, sizeof header, MSG_NOSIGNAL) < 0 ||
            ::send(fd, body.constData(), body.size(), MSG_NOSIGNAL) < 0)
            break;
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("sway.sock")).toStdString();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 1) != 0)
        return 1;
    const QByteArray body = tree();
    std::atomic<bool> stop{false};
    std::thread compositor(serve, listener, std::cref(body), std::ref(stop));

    double start = 0, swayTick = 0;
    int found = 0;
    {
        quavix::SwayWindowSystem sway(path);
        start = threadCpuMs();
        for (int i = 0; i < Ticks; ++i) {
            const auto w = sway.foregroundWindow();
            found += w != 0 && sway.isVisible(w) && sway.windowRect(w).has_value();
        }
        swayTick = (threadCpuMs() - start) / Ticks;
        stop = true;
    } // closes the socket: the stand-in's read ends
    compositor.join();
    ::close(listener);
    if (found != Ticks) {
        std::fprintf(stderr, "bench_wayland: the focused window was found %d of %d times\n", found,
                     Ticks);
        return 1;
    }

    quavix::FollowerWindowSystem follower(quavix::FollowerWindowSystem::Host::KWin);
    follower.setChangeHandler([&] {
        const auto w = follower.foregroundWindow();
        if (const auto r = follower.windowRect(w))
            follower.placeStrip(1, {r->right - 57 - 400, r->top + 5, r->right - 57, r->top + 21},
                                true);
    });
    int x = 0, y = 0, width = 0, height = 0;
    bool above = false;
    start = threadCpuMs();
    for (int i = 0; i < Ticks; ++i)
        follower.Report(QStringLiteral("Editor"),
                        QStringLiteral("4242 %1 50.5 640 480").arg(100 + i % 7), x, y, width,
                        height, above);
    const double report = (threadCpuMs() - start) / Ticks;
    start = threadCpuMs();
    for (int i = 0; i < Ticks; ++i) {
        const auto w = follower.foregroundWindow();
        found += follower.isVisible(w) && follower.windowRect(w).has_value();
    }
    const double followerTick = (threadCpuMs() - start) / Ticks;

    std::fprintf(stderr, "bench_wayland: sway tree of %lld bytes\n",
                 static_cast<long long>(body.size()));
    std::printf("RESULT wayland_sway_tick_cpu %.3f ms\n", swayTick);
    std::printf("RESULT wayland_follower_tick_cpu %.4f ms\n", followerTick);
    std::printf("RESULT wayland_follower_report_cpu %.4f ms\n", report);
    return 0;
}
