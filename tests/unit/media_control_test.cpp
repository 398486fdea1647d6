#include "startup/MediaControl.h"

#include <gtest/gtest.h>

using quavix::Button;
using quavix::MMControlState;

namespace {
std::vector<bool> transport(const MMControlState& s)
{
    std::vector<bool> v;
    for (Button b : {Button::Prev, Button::Next, Button::Play, Button::Pause, Button::Back,
                     Button::Step, Button::Stop})
        v.push_back(s.buttonEnabled(b));
    return v;
}
} // namespace

TEST(MediaControl, SituationsEnableTheRightButtons)
{
    MMControlState s;
    s.applyLoad(false);
    EXPECT_FALSE(s.get(10));
    EXPECT_TRUE(s.buttonEnabled(Button::Eject));
    EXPECT_EQ(transport(s), std::vector<bool>(7, false));
    EXPECT_FALSE(s.buttonEnabled(Button::Record));

    s.applyLoad(true);
    EXPECT_EQ(transport(s), std::vector<bool>(7, true));

    s.applyLoad(false);
    s.applyPlayListStart();
    EXPECT_EQ(transport(s), std::vector<bool>(7, true));

    s.applyStream(); // no seeking, pausing or skipping in a stream
    EXPECT_EQ(transport(s), (std::vector<bool>{false, false, true, false, false, false, true}));
    EXPECT_TRUE(s.buttonEnabled(Button::Eject));
}

TEST(MediaControl, DisabledBarDisablesEveryButton)
{
    MMControlState s;
    s.applyPlayListStart();
    s.set(11, false);
    EXPECT_FALSE(s.buttonEnabled(Button::Play));
    EXPECT_TRUE(s.get(14)); // the switch itself is kept
}
