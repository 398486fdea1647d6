// The main window's Help menu: the About box and the on-line help page.
#include "about/frmAbout.h"
#include "mainwindow/HelpPage.h"
#include "mainwindow/IconSet.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

struct HelpRig : quavix::testing::FormRig {
    fakes::ScriptedBrowser browser;
    HelpRig()
    {
        services().browser = &browser;
        load();
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

TEST(AboutTest, ShowsTitleVersionAndTheIconInUseAndOkUnloads)
{
    quavix::testing::FormRig h;
    h.rig.process.appTitle = "Rock & Roll";
    Form1* form = &h.load();
    // The icon shown now, not the one from the start.
    form->setProgramIcon(IconSet::icon(5));

    form->mnuHelpAbout->trigger();
    frmAbout* box = frmAbout::loaded();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible() && !box->isModal());
    EXPECT_TRUE(box->Label1->text().startsWith("Rock && Roll " QUAVIX_VERSION))
        << box->Label1->text().toStdString();
    EXPECT_EQ(box->Image1->pixmap().toImage(), form->Image1->pixmap().toImage());
    EXPECT_NE(box->Image1->pixmap().toImage(), IconSet::pixmap(0, 16).toImage());

    // A second command shows the same box.
    form->mnuHelpAbout->trigger();
    EXPECT_EQ(frmAbout::loaded(), box);

    QPointer<frmAbout> gone = box;
    QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    EXPECT_EQ(frmAbout::loaded(), nullptr);
    QTRY_VERIFY(gone.isNull());
    EXPECT_FALSE(form->isUnloaded());
}

} // namespace
