#pragma once
// MMControl1, the transport button bar, as state: which buttons are enabled.
//
// The bar is addressed by numbered Boolean properties: 10 automatic enabling, 11 the bar
// as a whole, 12..18 Prev, Next, Play, Pause, Back, Step, Stop, 20 Eject. Record has no
// switch and stays disabled. The bar's own media device is never opened.
#include <array>

namespace quavix {

enum class Button { Prev, Next, Play, Pause, Back, Step, Stop, Record, Eject };
inline constexpr int ButtonCount = 9;

class MMControlState {
public:
    void set(int property, bool value);
    bool get(int property) const;
    // Whether a button takes clicks: the bar is enabled and the button's switch is on.
    bool buttonEnabled(Button b) const;

    // The three situations the program puts the bar in.
    void applyLoad(bool engineRuns);
    void applyPlayListStart();
    void applyStream();

private:
    bool m_autoEnable = true;
    bool m_enabled = true;
    std::array<bool, ButtonCount> m_buttons{};
};

} // namespace quavix
