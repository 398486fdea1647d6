// The strip's arithmetic without widgets: the layout table, the strip's parking place, the
// tray icon's tip and icon draws.
#include "mainwindow/Form1Options.h"
#include "mainwindow/Layout.h"
#include "mainwindow/TrayIcon.h"
#include "properties/IconChange.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quavix;

TEST(StripLayout, EveryCombinationOfShownElements)
{
    struct Row {
        bool slider, status, controls;
        float sliderLeft, statusLeft, controlsLeft, imageLeft, width;
    };
    const Row rows[] = {
        {true, true, true, 0, 2655, 5310, 8850, 9090}, {true, true, false, 0, 2655, 0, 5310, 5550},
        {true, false, true, 0, 0, 2655, 6195, 6435},   {true, false, false, 0, 0, 0, 2655, 2895},
        {false, true, true, 0, 0, 2655, 6195, 6435},   {false, true, false, 0, 0, 0, 2655, 2895},
        {false, false, true, 0, 0, 0, 3540, 3780},     {false, false, false, 0, 0, 0, 0, 240},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.slider << r.status << r.controls);
        StripLayout l = layOutStrip(r.slider, r.status, r.controls);
        EXPECT_EQ(l.sliderVisible, r.slider);
        EXPECT_EQ(l.statusVisible, r.status);
        EXPECT_EQ(l.controlsVisible, r.controls);
        EXPECT_FLOAT_EQ(l.sliderLeft, r.sliderLeft);
        EXPECT_FLOAT_EQ(l.statusLeft, r.statusLeft);
        EXPECT_FLOAT_EQ(l.controlsLeft, r.controlsLeft);
        EXPECT_FLOAT_EQ(l.imageLeft, r.imageLeft);
        EXPECT_FLOAT_EQ(l.width, r.width);
    }
}

TEST(StripLayout, ParkingPlaceAndPixels)
{
    // Right edge 57 pixels inside the screen's at 120 DPI; a strip wider than the screen goes
    // off its left edge rather than wrapping.
    EXPECT_FLOAT_EQ(stripLeftFor(1920, 12, 9090), 1920 * 12 - 9090 - 57 * 12);
    EXPECT_LT(stripLeftFor(100, 15, 9090), 0);
    // Halves go to the even neighbour; no factor gives no size rather than a division by 0.
    const std::tuple<double, double, int> cases[] = {
        {-40.0, 15.0, -3}, {-30.0, 15.0, -2}, {22.5, 15.0, 2}, {37.5, 15.0, 2}, {240.0, 0.0, 0}};
    for (auto [twips, factor, pixels] : cases)
        EXPECT_EQ(twipsToPixels(twips, factor), pixels) << twips;
}

// The window and the tip are what the ui suite's tray tests see; no part of the program
// reads the record's byte form.
TEST(TrayRecord, TheIdTheStripAnswersToAndATipCutSoThatItsNulFits)
{
    const NotifyIconData d = trayicon::makeRecord(1, std::string(100, 'x'));
    EXPECT_EQ(d.uID, 61860u); // the tray hands it back with every mouse message
    EXPECT_EQ(d.tip(), std::string(63, 'x'));
}

TEST(IconDraw, CoversTheWholeSetAndStaysInside)
{
    // Draws of 1 or below 0 come from generators that break their promise.
    const std::tuple<double, int, int> cases[] = {{0.0, 24, 0},  {0.999999, 24, 23}, {0.5, 24, 12},
                                                  {1.0, 24, 23}, {-0.1, 24, 0},      {0.5, 0, 0}};
    for (auto [draw, count, index] : cases)
        EXPECT_EQ(iconIndexForDraw(draw, count), index) << draw;
}
