// On-line Help from the main window's Help menu.
#include "mainwindow/Form1.h"
#include "mainwindow/HelpPage.h"
#include "support/Rig.h"

#include <QCoreApplication>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

struct HelpRig {
    quavix::testing::Rig rig{false};
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    fakes::ScriptedBrowser browser;
    std::unique_ptr<Form1> form;
    HelpRig()
    {
        services().tray = &tray;
        services().windows = &windows;
        services().browser = &browser;
        form = std::make_unique<Form1>();
        form->Form_Load();
    }
    ~HelpRig() { services().browser = nullptr; }
};

TEST(HelpTest, OpensTheHelpPageOrSaysWhyNot)
{
    struct Case {
        const char* what;
        std::optional<std::string> browser;
        bool opens;
        std::vector<std::string> titles;
        std::size_t starts;
    };
    const std::vector<Case> cases = {
        {"opened", "web.desktop", true, {}, 1},
        {"no browser", std::nullopt, true, {"Browser Not Found"}, 0},
        {"browser fails", "web.desktop", false, {"URL Failed"}, 1},
    };
    for (const auto& c : cases) {
        HelpRig h;
        h.browser.browser = c.browser;
        h.browser.opens = c.opens;
        h.form->mnuHelpOnLine->trigger();
        EXPECT_EQ(h.rig.dialogs.titles(), c.titles) << c.what;
        ASSERT_EQ(h.browser.started.size(), c.starts) << c.what;
        if (c.starts) {
            EXPECT_EQ(h.browser.started[0].first, "web.desktop");
            EXPECT_EQ(h.browser.started[0].second,
                      helpPageAddress(QCoreApplication::applicationDirPath().toStdString()));
        }
        for (const auto& box : h.rig.dialogs.boxes) {
            EXPECT_EQ(box.text, box.title == "URL Failed" ? "Web Page not Opened"
                                                          : "Could not find associated Browser");
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
            EXPECT_EQ(box.buttons, MsgButtons::Ok);
        }
        EXPECT_FALSE(h.form->isUnloaded());
    }
}

TEST(HelpTest, ThePageIsBesideTheBuiltProgram)
{
    EXPECT_EQ(helpPageAddress("/opt/my apps/bin"), "file:///opt/my%20apps/share/quavix/help.html");
    EXPECT_EQ(helpPageAddress("/usr/bin/"), "file:///usr/share/quavix/help.html");

    const std::string page = QUAVIX_BINARY_DIR "/src/share/quavix/help.html";
    ASSERT_TRUE(std::filesystem::exists(page));
    std::string text = quavix::testing::readText(page);
    for (const char* needle : {"Minimize to System Tray", "On-line Help", "FileList",
                               "AutoLoadMP3Locations", "quavix.ini", "mimeapps.list"})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
}

} // namespace
