// The About box opened from the main window's Help menu.
#include "about/frmAbout.h"
#include "mainwindow/Form1.h"
#include "mainwindow/IconSet.h"
#include "support/Rig.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

TEST(AboutTest, ShowsTitleVersionAndTheIconInUseAndOkUnloads)
{
    quavix::testing::Rig rig{false};
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    services().tray = &tray;
    services().windows = &windows;
    rig.process.appTitle = "Rock & Roll";
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    // The icon shown now, not the one from the start.
    form->setProgramIcon(IconSet::icon(5));

    form->mnuHelpAbout->trigger();
    frmAbout* box = frmAbout::loaded();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Zethra");
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
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
