// The Open Location dialog as the user drives it: typing or picking an address, OK and
// Cancel, removing history entries, a refused address.
#include "openlocation/LocationHistory.h"
#include "openlocation/frmOpenLocation.h"
#include "support/Rig.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::Rig;
using Strings = std::vector<std::string>;

namespace {

const std::string Rock = "mms://media.example.net/RockMusic",
                  Jazz = "http://radio.example.org/jazz", Live = "http://new.example.com/live";

class OpenLocation : public ::testing::Test {
protected:
    Rig h;

    void SetUp() override
    {
        for (const auto& a : {Rock, Jazz, Live, std::string("Last Item")})
            h.media.addItem(a, 0);
        saveLocationHistory(h.options, {Rock, Jazz});
        h.options.put("Locations", "LastLocation", Rock);
        h.options.saves.clear();
    }
    void TearDown() override
    {
        if (auto* f = frmOpenLocation::loaded())
            f->cmdCancel_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Strings stored() { return loadLocationHistory(h.options); }
    frmOpenLocation* open()
    {
        auto* f = frmOpenLocation::instance();
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        return f;
    }
    static Strings listed(frmOpenLocation* f)
    {
        Strings v;
        for (int i = 0; i < f->lstLocationHistory->count(); ++i)
            v.push_back(f->lstLocationHistory->item(i)->text().toStdString());
        return v;
    }
    static QPoint itemCenter(frmOpenLocation* f, int row)
    {
        return f->lstLocationHistory->visualItemRect(f->lstLocationHistory->item(row)).center();
    }
    static void clickItem(frmOpenLocation* f, int row)
    {
        QTest::mouseClick(f->lstLocationHistory->viewport(), Qt::LeftButton, {},
                          itemCenter(f, row));
    }
    void ok(frmOpenLocation* f, const std::string& address)
    {
        f->txtLocation->setText(QString::fromStdString(address));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    }
};

} // namespace

TEST_F(OpenLocation, NewAddressPlaysAndGoesOnTop)
{
    auto* f = open();
    EXPECT_EQ(f->txtLocation->text().toStdString(), Rock);
    EXPECT_EQ(listed(f), (Strings{Rock, Jazz}));

    h.window.sliderMaxValue = 200;
    ok(f, Live);
    EXPECT_EQ(h.media.opened, Strings{Live});
    EXPECT_EQ(h.window.toolTips, (Strings{"Opening " + Live, Live}));
    EXPECT_EQ(stored(), (Strings{Live, Rock, Jazz}));
    EXPECT_EQ(h.options.value("Locations", "LastLocation"), Live);
    EXPECT_TRUE(h.window.timer1);
    EXPECT_FALSE(h.window.sliderEnabled);
    EXPECT_EQ(h.window.sliderMin, 199);
    EXPECT_EQ(quavix::testing::enabledButtons(h.window.bar).substr(0, 7), "--Y---X");
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr) << "unloaded after a successful open";
}

TEST_F(OpenLocation, KnownAddressAndTheMarkerTextKeepTheHistory)
{
    auto* f = open();
    clickItem(f, 1);
    EXPECT_EQ(f->txtLocation->text().toStdString(), Jazz);
    QTest::mouseDClick(f->lstLocationHistory->viewport(), Qt::LeftButton, {}, itemCenter(f, 1));
    EXPECT_EQ(h.media.opened, Strings{Jazz});
    EXPECT_EQ(stored(), (Strings{Rock, Jazz}));
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr);

    ok(open(), "Last Item"); // plays, but is not remembered
    EXPECT_EQ(h.media.opened.back(), "Last Item");
    EXPECT_EQ(stored(), (Strings{Rock, Jazz}));
}

// A reader's user chooses with the arrow keys: the chosen address is the one Enter plays.
TEST_F(OpenLocation, AnAddressChosenByTheArrowKeysIsTheOneThatPlays)
{
    auto* f = open();
    f->lstLocationHistory->setFocus();
    clickItem(f, 0);
    QTest::keyClick(f->lstLocationHistory, Qt::Key_Down);
    EXPECT_EQ(f->txtLocation->text().toStdString(), Jazz);
    QTest::keyClick(f->lstLocationHistory, Qt::Key_Up);
    EXPECT_EQ(f->txtLocation->text().toStdString(), Rock);
    QTest::keyClick(f->lstLocationHistory, Qt::Key_Down);
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_EQ(h.media.opened, Strings{Jazz});
}

TEST_F(OpenLocation, RemovedEntryComesBackAfterCancelAndIsGoneAfterOk)
{
    auto* f = open();
    f->lstLocationHistory->clearSelection();
    f->mnuRemoveItem->trigger();
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_EQ(h.dialogs.boxes[0].title, "Selection Error");

    clickItem(f, 0);
    // A right click opens the menu without moving the selection.
    QTest::mousePress(f->lstLocationHistory->viewport(), Qt::RightButton, {}, itemCenter(f, 1));
    EXPECT_TRUE(f->mnuPopUp->isVisible());
    EXPECT_EQ(f->lstLocationHistory->currentRow(), 0);
    f->mnuPopUp->hide();

    h.dialogs.answers = {MsgAnswer::No, MsgAnswer::Yes};
    f->mnuRemoveItem->trigger();
    EXPECT_EQ(listed(f).size(), 2u) << "answered No";
    f->mnuRemoveItem->trigger();
    EXPECT_EQ(listed(f), Strings{Jazz});
    EXPECT_EQ(h.dialogs.boxes.back().buttons, MsgButtons::YesNo);

    QTest::mouseClick(f->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr);
    EXPECT_TRUE(h.options.saves.empty());
    EXPECT_FALSE(h.window.timer1) << "Cancel leaves Timer1 off";

    f = open();
    EXPECT_EQ(listed(f).size(), 2u);
    clickItem(f, 0);
    h.dialogs.answers = {MsgAnswer::Yes};
    f->mnuRemoveItem->trigger();
    ok(f, Jazz);
    EXPECT_EQ(stored(), Strings{Jazz});
}

TEST_F(OpenLocation, RefusedOrEmptyAddressKeepsTheDialogAndStoresNothing)
{
    auto* f = open();
    for (const char* address : {"mms://nowhere.example/x", ""}) {
        h.dialogs.boxes.clear();
        ok(f, address);
        ASSERT_EQ(h.dialogs.boxes.size(), 1u) << address;
        EXPECT_EQ(h.dialogs.boxes[0].title, "URL Not Loaded");
        EXPECT_TRUE(frmOpenLocation::loaded() == f && f->isVisible());
        EXPECT_EQ(f->txtLocation->text(), address);
    }
    EXPECT_EQ(h.media.opened, Strings{"mms://nowhere.example/x"}) << "an empty one is not opened";
    EXPECT_TRUE(h.options.saves.empty());
    EXPECT_FALSE(h.window.timer1);
}
