// The About box opened from the main window's Help menu.
#include "about/frmAbout.h"
#include "mainwindow/IconSet.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

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
