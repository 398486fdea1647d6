// Which way the strip follows the window in front, by session; and sway's tree read for the
// focused window's frame.
#include "platform/linux/SwayWindowSystem.h"
#include "platform/linux/WindowMechanism.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using quavix::WindowMechanism;

namespace {

struct Session {
    std::map<std::string, std::string> env;
    bool swayAnswers = true, waylandAnswers = true, kwin = false, shell = false, extension = false;
    std::vector<std::string> asked; // bus names asked for

    quavix::MechanismChoice choose()
    {
        quavix::SessionProbe probe;
        probe.env = [this](const char* name) {
            auto it = env.find(name);
            return it == env.end() ? std::string() : it->second;
        };
        probe.swayAnswers = [this](const std::string&) { return swayAnswers; };
        probe.waylandAnswers = [this](const std::string&) { return waylandAnswers; };
        probe.onSessionBus = [this](const char* name) {
            asked.emplace_back(name);
            return std::string(name) == "org.kde.KWin" ? kwin : shell;
        };
        probe.gnomeExtensionEnabled = [this] { return extension; };
        return quavix::chooseWindowMechanism(probe);
    }
};

} // namespace

TEST(WindowMechanism, ChosenBySessionWithTheCompositorAnswering)
{
    Session x11;
    x11.env = {{"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "KDE"}};
    EXPECT_EQ(x11.choose().mechanism, WindowMechanism::X11);
    EXPECT_TRUE(x11.asked.empty()); // an X11 start asks the bus nothing

    Session sway;
    sway.env = {{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/sway.sock"}};
    EXPECT_EQ(sway.choose().mechanism, WindowMechanism::Sway);
    sway.swayAnswers = false; // a variable left over from a sway that is gone
    EXPECT_EQ(sway.choose().mechanism, WindowMechanism::None);

    Session kde;
    kde.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "KDE"}};
    EXPECT_EQ(kde.choose().mechanism, WindowMechanism::None); // no KWin on the bus
    kde.kwin = true;
    EXPECT_EQ(kde.choose().mechanism, WindowMechanism::KWin);

    Session gnome;
    gnome.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}};
    gnome.shell = true;
    auto choice = gnome.choose();
    EXPECT_EQ(choice.mechanism, WindowMechanism::None);
    EXPECT_NE(choice.advice.find(quavix::GnomeExtensionUuid), std::string::npos);
    gnome.extension = true;
    EXPECT_EQ(gnome.choose().mechanism, WindowMechanism::Gnome);

    Session other;
    other.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "Hyprland"}};
    choice = other.choose();
    EXPECT_EQ(choice.mechanism, WindowMechanism::None);
    EXPECT_FALSE(choice.advice.empty());
    // A desktop whose name only contains another's is not it.
    other.env["XDG_CURRENT_DESKTOP"] = "NotKDE";
    other.kwin = true;
    EXPECT_EQ(other.choose().mechanism, WindowMechanism::None);
}

TEST(WindowMechanism, TheOverrideWinsAndABadOneIsReported)
{
    Session s;
    s.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"QUAVIX_WINDOW_SYSTEM", "X11"}};
    EXPECT_EQ(s.choose().mechanism, WindowMechanism::X11);
    s.env["QUAVIX_WINDOW_SYSTEM"] = "none";
    s.env["SWAYSOCK"] = "/run/sway.sock";
    EXPECT_EQ(s.choose().mechanism, WindowMechanism::None);
    s.env["QUAVIX_WINDOW_SYSTEM"] = "mutter";
    auto choice = s.choose();
    EXPECT_EQ(choice.badOverride, "mutter");
    EXPECT_EQ(choice.mechanism, WindowMechanism::Sway);
}

TEST(WindowMechanism, WhatWasFoundIsSaidWhereTheStripCannotFollow)
{
    // sway is running, but the variable names a socket where nobody answers.
    Session staleSway;
    staleSway.env = {{"WAYLAND_DISPLAY", "wayland-1"},
                     {"SWAYSOCK", "/run/user/1000/sway-ipc.gone.sock"},
                     {"XDG_CURRENT_DESKTOP", "sway"}};
    staleSway.swayAnswers = false;
    auto choice = staleSway.choose();
    EXPECT_EQ(choice.mechanism, WindowMechanism::None);
    EXPECT_NE(choice.found.find("/run/user/1000/sway-ipc.gone.sock"), std::string::npos)
        << choice.found;
    EXPECT_EQ(choice.advice.find("KDE Plasma"), std::string::npos) << choice.advice;

    // An X11 session that inherited the variable of a compositor that is gone.
    Session x11;
    x11.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}};
    x11.waylandAnswers = false;
    choice = x11.choose();
    EXPECT_EQ(choice.mechanism, WindowMechanism::X11);
    EXPECT_NE(choice.note.find("wayland-0"), std::string::npos) << choice.note;
    EXPECT_EQ(choice.found.find("Wayland desktop"), std::string::npos) << choice.found;

    // A desktop that tells nobody: named as it calls itself.
    Session other;
    other.env = {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "Hyprland"}};
    choice = other.choose();
    EXPECT_NE(choice.found.find("Hyprland"), std::string::npos) << choice.found;
}

TEST(WindowMechanism, ForcedSwayWithoutItsSocketFallsBack)
{
    Session s;
    s.env = {{"QUAVIX_WINDOW_SYSTEM", "sway"}, {"DISPLAY", ":0"}};
    auto choice = s.choose();
    EXPECT_EQ(choice.mechanism, WindowMechanism::X11);
    EXPECT_NE(choice.note.find("SWAYSOCK"), std::string::npos) << choice.note;
    s.env["SWAYSOCK"] = "/run/sway.sock";
    EXPECT_EQ(s.choose().mechanism, WindowMechanism::Sway);
}

TEST(SwayTree, TheFocusedWindowWithItsTitleBarUnlessItIsOurs)
{
    // Abridged from a real tree: a tiled native window and a floating X11 one.
    const QByteArray tree = R"({"id":1,"type":"root","nodes":[{"id":3,"type":"output",
      "nodes":[{"id":4,"type":"workspace","nodes":[
        {"id":7,"type":"con","focused":false,"pid":100,"visible":true,
         "rect":{"x":0,"y":23,"width":1280,"height":777},"deco_rect":{"x":0,"y":0,"width":1280,"height":23}}],
       "floating_nodes":[
        {"id":9,"type":"floating_con","focused":true,"pid":200,"visible":true,
         "rect":{"x":300,"y":223,"width":420,"height":260},"deco_rect":{"x":0,"y":0,"width":420,"height":23}}]}]}]})";
    auto w = quavix::focusedSwayWindow(tree, 1);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->id, 9u);
    EXPECT_EQ(w->outer.left, 300);
    EXPECT_EQ(w->outer.top, 200);
    EXPECT_EQ(w->outer.right, 720);
    EXPECT_EQ(w->outer.bottom, 483);
    EXPECT_FALSE(quavix::focusedSwayWindow(tree, 200)); // our own dialog has the focus
    // A focused workspace (empty, nothing in front), and answers that are no tree.
    EXPECT_FALSE(quavix::focusedSwayWindow(R"({"id":4,"type":"workspace","focused":true})", 1));
    for (const char* bad : {"", "[]", "{", "null", R"({"nodes":"x"})"})
        EXPECT_FALSE(quavix::focusedSwayWindow(bad, 1)) << bad;
}

namespace {

// A compositor's IPC socket that answers as badly as it is told to.
class BadCompositor {
public:
    enum class Answer { Dribble, Huge };
    explicit BadCompositor(Answer answer) : m_answer(answer)
    {
        m_path = "/tmp/quavix-sway-test-" + std::to_string(::getpid()) + ".sock";
        ::unlink(m_path.c_str());
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, m_path.c_str(), m_path.size() + 1);
        EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(m_listen, 8), 0);
        m_thread = std::thread([this] { serve(); });
    }
    ~BadCompositor()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
        ::unlink(m_path.c_str());
    }
    const std::string& path() const { return m_path; }
    int connections() const { return m_connections; }

private:
    void serve()
    {
        while (!m_stop) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            ++m_connections;
            char request[14];
            if (::read(fd, request, sizeof request) == static_cast<ssize_t>(sizeof request)) {
                const std::uint32_t fields[2] = {m_answer == Answer::Huge ? 50u << 20 : 40u, 4};
                std::string header("i3-ipc");
                header.append(reinterpret_cast<const char*>(fields), sizeof fields);
                ::send(fd, header.data(), header.size(), MSG_NOSIGNAL);
                // Never a whole answer: a byte now and then, each within the read timeout.
                for (int i = 0; i < 40 && !m_stop; ++i) {
                    if (::send(fd, "{", 1, MSG_NOSIGNAL) != 1)
                        break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
            }
            ::close(fd);
        }
    }
    Answer m_answer;
    std::string m_path;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

} // namespace

// The strip asks once a second, on the only thread: a compositor that answers slowly or
// with an endless tree must cost it a bounded moment, and be asked less often after.
TEST(SwayTree, ASlowOrHugeAnswerIsGivenUpInsideTheTick)
{
    for (auto answer : {BadCompositor::Answer::Dribble, BadCompositor::Answer::Huge}) {
        SCOPED_TRACE(answer == BadCompositor::Answer::Huge ? "huge" : "slow");
        BadCompositor compositor(answer);
        quavix::SwayWindowSystem sway(compositor.path());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(sway.foregroundWindow(), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        const int asked = compositor.connections();
        for (int tick = 0; tick < 3; ++tick)
            EXPECT_EQ(sway.foregroundWindow(), 0u);
        EXPECT_LE(compositor.connections(), asked + 1) << "asked again at every tick";
    }
}
