// Which way the strip follows the window in front, by session; and sway's tree read for the
// focused window's frame.
#include "platform/linux/SwayWindowSystem.h"
#include "platform/linux/WindowMechanism.h"

#include <gtest/gtest.h>
#include <map>

using quavix::WindowMechanism;

namespace {

struct Session {
    std::map<std::string, std::string> env;
    bool swayAnswers = true, kwin = false, shell = false, extension = false;
    std::vector<std::string> asked; // bus names asked for

    quavix::MechanismChoice choose()
    {
        quavix::SessionProbe probe;
        probe.env = [this](const char* name) {
            auto it = env.find(name);
            return it == env.end() ? std::string() : it->second;
        };
        probe.swayAnswers = [this](const std::string&) { return swayAnswers; };
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
