// The X11 window system against a real X server of its own (Xvfb), with a second connection
// playing the other programs and the window manager's properties.
#include "platform/linux/X11WindowSystem.h"

#include <QApplication>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <qguiapplication_platform.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

using namespace quavix;

namespace {

// Started before main() builds the application object, so that Qt opens this server: the
// suite's environment asks for the offscreen platform, which has no X at all.
struct OwnXServer {
    pid_t pid = -1;
    OwnXServer()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char ch;
        while (::read(fds[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        ::close(fds[0]);
        if (number.empty())
            return; // the test below says that there is no display
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    ~OwnXServer()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
} ownXServer;

xcb_connection_t* qtConnection()
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

std::uint32_t eventMaskOn(xcb_connection_t* c, xcb_window_t w)
{
    auto* r = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const std::uint32_t mask = r ? r->your_event_mask : 0;
    std::free(r);
    return mask;
}

// The rest of the desktop: other programs' windows and a window manager's root properties.
class Desktop {
public:
    Desktop() : c(xcb_connect(nullptr, nullptr))
    {
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        active = atom(c, "_NET_ACTIVE_WINDOW");
        check = atom(c, "_NET_SUPPORTING_WM_CHECK");
        extents = atom(c, "_NET_FRAME_EXTENTS");
        manager = window(0, 0, 1, 1);
        setWindow(manager, check, manager);
        setWindow(root, check, manager);
    }
    ~Desktop() { xcb_disconnect(c); }

    xcb_window_t window(int x, int y, int w, int h)
    {
        const xcb_window_t id = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, root, static_cast<std::int16_t>(x),
                          static_cast<std::int16_t>(y), static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        return id;
    }
    void setWindow(xcb_window_t on, xcb_atom_t property, xcb_window_t value)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, on, property, XCB_ATOM_WINDOW, 32, 1, &value);
        sync();
    }
    void activate(xcb_window_t w) { setWindow(root, active, w); }
    // Done once the server has carried out everything asked so far.
    void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

    xcb_connection_t* c;
    xcb_window_t root = 0, manager = 0;
    xcb_atom_t active = 0, check = 0, extents = 0;
};

class X11WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(X11WindowSystem::usable()) << "no X server to test on"; }
};

TEST_F(X11WindowSystemTest, TellsTheWindowInFrontWithItsFrameAndFollowsItsMoves)
{
    Desktop desktop;
    const xcb_window_t other = desktop.window(100, 50, 300, 200);
    const std::uint32_t frame[] = {4, 4, 20, 4}; // left, right, top, bottom
    xcb_change_property(desktop.c, XCB_PROP_MODE_REPLACE, other, desktop.extents, XCB_ATOM_CARDINAL,
                        32, 4, frame);
    xcb_map_window(desktop.c, other);
    desktop.activate(other);

    X11WindowSystem windows;
    ASSERT_EQ(windows.foregroundWindow(), other);
    EXPECT_TRUE(windows.isVisible(other));
    auto rect = windows.windowRect(other);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->left, 96);
    EXPECT_EQ(rect->top, 30);
    EXPECT_EQ(rect->width(), 308);
    EXPECT_EQ(rect->height(), 224);

    const std::uint32_t to[] = {400, 300};
    xcb_configure_window(desktop.c, other, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
    desktop.sync();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        windows.foregroundWindow();
        rect = windows.windowRect(other);
        return rect && rect->left == 396;
    }));
    EXPECT_EQ(rect->top, 280);

    // A manager that is gone leaves its properties behind: no window is in front then.
    xcb_destroy_window(desktop.c, desktop.manager);
    desktop.sync();
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.foregroundWindow() == 0; }));
}

// The manager may still name the window of a program that ran before us on this display,
// whose id this connection is handed again. Our event mask on a window belongs to the
// connection the toolkit draws with: selecting on it, or clearing it when the window in front
// changes, would leave our window deaf to keys.
TEST_F(X11WindowSystemTest, AWindowOfOursNamedBeforeItExistsKeepsItsEvents)
{
    xcb_connection_t* ours = qtConnection();
    ASSERT_TRUE(ours);
    Desktop desktop;
    const xcb_window_t box = xcb_generate_id(ours);
    desktop.activate(box);

    X11WindowSystem windows;
    EXPECT_EQ(windows.foregroundWindow(), 0u);

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(ours)).data->root;
    const std::uint32_t keys = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_EXPOSURE;
    xcb_create_window(ours, XCB_COPY_FROM_PARENT, box, root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &keys);
    xcb_map_window(ours, box);
    ASSERT_EQ(eventMaskOn(ours, box), keys);

    const xcb_window_t other = desktop.window(300, 300, 100, 100);
    xcb_map_window(desktop.c, other);
    desktop.activate(other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows.foregroundWindow() == other; }));
    EXPECT_EQ(eventMaskOn(ours, box), keys);

    // Now that it exists it is ours, and no window in front to move to.
    desktop.activate(box);
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.foregroundWindow() == 0; }));
    EXPECT_EQ(eventMaskOn(ours, box), keys);
    xcb_destroy_window(ours, box);
    xcb_flush(ours);
}

} // namespace
