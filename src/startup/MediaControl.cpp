#include "MediaControl.h"

namespace quavix {

namespace {
// Property numbers 12..18 in button order; 20 is Eject.
int buttonIndex(int property)
{
    if (property >= 12 && property <= 18)
        return property - 12;
    if (property == 20)
        return static_cast<int>(Button::Eject);
    return -1;
}
} // namespace

void MMControlState::set(int property, bool value)
{
    if (property == 10)
        m_autoEnable = value;
    else if (property == 11)
        m_enabled = value;
    else if (int i = buttonIndex(property); i >= 0)
        m_buttons[static_cast<std::size_t>(i)] = value;
}

bool MMControlState::get(int property) const
{
    if (property == 10)
        return m_autoEnable;
    if (property == 11)
        return m_enabled;
    int i = buttonIndex(property);
    return i >= 0 && m_buttons[static_cast<std::size_t>(i)];
}

bool MMControlState::buttonEnabled(Button b) const
{
    return m_enabled && m_buttons[static_cast<std::size_t>(b)];
}

void MMControlState::applyLoad(bool engineRuns)
{
    set(10, false);
    set(11, true);
    set(20, true);
    for (int p : {16, 13, 14, 15, 12, 17, 18})
        set(p, engineRuns);
}

void MMControlState::applyPlayListStart()
{
    for (int p : {16, 13, 14, 15, 12, 17, 18})
        set(p, true);
}

void MMControlState::applyStream()
{
    for (int p : {12, 13, 17, 16, 15})
        set(p, false);
    for (int p : {14, 18})
        set(p, true);
}

} // namespace quavix
