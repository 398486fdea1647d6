// The Open Location dialog as the user drives it: typing or picking an address, OK and
// Cancel, removing history entries, a refused address.
#include "openlocation/frmOpenLocation.h"
#include "support/PlayerHarness.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::PlayerHarness;
using Strings = std::vector<std::string>;

namespace {

class OpenLocation : public ::testing::Test {
protected:
    PlayerHarness h;

    void SetUp() override
    {
        h.media.addItem("mms://media.example.net/RockMusic", 0);
        h.media.addItem("http://radio.example.org/jazz", 0);
        h.media.addItem("http://new.example.com/live", 0);
        h.media.addItem("Last Item", 0);
        history({"mms://media.example.net/RockMusic", "http://radio.example.org/jazz"});
        put("LastLocation", "mms://media.example.net/RockMusic");
    }
    void TearDown() override
    {
        if (auto* f = frmOpenLocation::loaded())
            f->cmdCancel_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void put(const std::string& key, const std::string& value)
    {
        h.options.values[{"Quavix", "Locations", key}] = value;
    }
    void history(const Strings& entries)
    {
        for (std::size_t i = 0; i < entries.size(); ++i)
            put("LocationHistory" + std::to_string(i), entries[i]);
        put("LocationHistory" + std::to_string(entries.size()), "Last Item");
    }
    Strings stored() { return loadLocationHistoryFor(h.options); }
    static Strings loadLocationHistoryFor(fakes::MemoryOptionsStore& store)
    {
        Strings v;
        for (int n = 0;; ++n) {
            auto s = store.value("Locations", "LocationHistory" + std::to_string(n));
            if (s == "Last Item" || s == "<missing>")
                return v;
            v.push_back(s);
        }
    }

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
};

} // namespace

TEST_F(OpenLocation, ShowsTheLastLocationAndTheHistory)
{
    auto* f = open();
    EXPECT_EQ(f->windowTitle(), "Open Location");
    EXPECT_EQ(f->Label1->text(),
              "Enter the location you want to play.  Remember to include any prefix or suffix "
              "information required to play the location. (i.e. "
              "mms://media.example.net/RockMusic)");
    EXPECT_EQ(f->cmdOK->text(), "OK");
    EXPECT_EQ(f->cmdCancel->text(), "Cancel");
    EXPECT_EQ(f->mnuRemoveItem->text(), "Remove Item");
    EXPECT_EQ(f->txtLocation->text(), "mms://media.example.net/RockMusic");
    EXPECT_EQ(listed(f),
              (Strings{"mms://media.example.net/RockMusic", "http://radio.example.org/jazz"}));
    EXPECT_EQ(frmOpenLocation::instance(), f) << "one instance";
}

TEST_F(OpenLocation, NewAddressPlaysAndGoesOnTop)
{
    auto* f = open();
    f->txtLocation->setText("http://new.example.com/live");
    h.window.sliderMaxValue = 200;
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);

    EXPECT_EQ(h.media.opened, Strings{"http://new.example.com/live"});
    EXPECT_EQ(h.window.toolTips,
              (Strings{"Opening http://new.example.com/live", "http://new.example.com/live"}));
    EXPECT_EQ(stored(), (Strings{"http://new.example.com/live", "mms://media.example.net/RockMusic",
                                 "http://radio.example.org/jazz"}));
    EXPECT_EQ(h.options.value("Locations", "LastLocation"), "http://new.example.com/live");
    EXPECT_TRUE(h.window.timer1);
    EXPECT_FALSE(h.window.sliderEnabled);
    EXPECT_EQ(h.window.sliderMin, 199);
    EXPECT_TRUE(h.window.bar.buttonEnabled(Button::Play));
    EXPECT_TRUE(h.window.bar.buttonEnabled(Button::Stop));
    for (Button b : {Button::Prev, Button::Next, Button::Step, Button::Back, Button::Pause})
        EXPECT_FALSE(h.window.bar.buttonEnabled(b));
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr) << "unloaded after a successful open";
}

TEST_F(OpenLocation, PickingAKnownAddressKeepsTheOrder)
{
    put("LocationHistory5", "stale");
    auto* f = open();
    clickItem(f, 1);
    EXPECT_EQ(f->txtLocation->text(), "http://radio.example.org/jazz");
    QTest::mouseDClick(f->lstLocationHistory->viewport(), Qt::LeftButton, {}, itemCenter(f, 1));

    EXPECT_EQ(h.media.opened, Strings{"http://radio.example.org/jazz"});
    EXPECT_EQ(stored(),
              (Strings{"mms://media.example.net/RockMusic", "http://radio.example.org/jazz"}));
    EXPECT_EQ(h.options.value("Locations", "LocationHistory5"), "stale");
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr);
}

TEST_F(OpenLocation, RemovedEntryComesBackAfterCancelAndIsGoneAfterOk)
{
    auto* f = open();
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
    EXPECT_EQ(listed(f), Strings{"http://radio.example.org/jazz"});
    EXPECT_EQ(h.dialogs.boxes.back().title, "Remove Item");
    EXPECT_EQ(h.dialogs.boxes.back().text, "Are you sure you want to remove the selected item?");
    EXPECT_EQ(h.dialogs.boxes.back().icon, MsgIcon::Question);

    QTest::mouseClick(f->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr);
    EXPECT_TRUE(h.options.saves.empty());
    EXPECT_FALSE(h.window.timer1) << "Cancel leaves Timer1 off";

    f = open();
    EXPECT_EQ(listed(f).size(), 2u);
    clickItem(f, 0);
    h.dialogs.answers = {MsgAnswer::Yes};
    f->mnuRemoveItem->trigger();
    f->txtLocation->setText("http://radio.example.org/jazz");
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_EQ(stored(), Strings{"http://radio.example.org/jazz"});
    EXPECT_EQ(h.options.value("Locations", "LocationHistory1"), "Last Item");
}

TEST_F(OpenLocation, RemoveWithoutSelectionExplains)
{
    auto* f = open();
    f->lstLocationHistory->clearSelection();
    f->mnuRemoveItem->trigger();
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_EQ(h.dialogs.boxes[0].title, "Selection Error");
    EXPECT_EQ(h.dialogs.boxes[0].text, "You have not selected an item to remove");
    EXPECT_EQ(h.dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(listed(f).size(), 2u);
}

TEST_F(OpenLocation, RefusedOrEmptyAddressKeepsTheDialogAndStoresNothing)
{
    auto* f = open();
    for (const char* address : {"mms://nowhere.example/x", ""}) {
        h.dialogs.boxes.clear();
        f->txtLocation->setText(address);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        ASSERT_EQ(h.dialogs.boxes.size(), 1u) << address;
        EXPECT_EQ(h.dialogs.boxes[0].title, "URL Not Loaded");
        EXPECT_EQ(h.dialogs.boxes[0].text, "An error occured loading the requested URL.\r\n\r\n"
                                           "Check the source URL to ensure that it is correct "
                                           "and active.");
        EXPECT_EQ(frmOpenLocation::loaded(), f);
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(f->txtLocation->text(), address);
    }
    EXPECT_EQ(h.media.opened, Strings{"mms://nowhere.example/x"}) << "an empty one is not opened";
    EXPECT_TRUE(h.options.saves.empty());
    EXPECT_FALSE(h.window.timer1);
}

TEST_F(OpenLocation, TheMarkerTextPlaysButIsNotRemembered)
{
    auto* f = open();
    f->txtLocation->setText("Last Item");
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_EQ(h.media.opened, Strings{"Last Item"});
    EXPECT_EQ(stored(),
              (Strings{"mms://media.example.net/RockMusic", "http://radio.example.org/jazz"}));
    EXPECT_EQ(h.options.value("Locations", "LocationHistory2"), "Last Item");
}
