#pragma once
// The strip's layout arithmetic, in twips, apart from any widget.
//
// The strip holds up to three optional elements side by side (slider, status display,
// button bar, in that fixed order) followed by the always-shown program icon. Their sizes
// are fixed; only which of them show changes. A hidden element is parked at left 0.
#include <cstdint>

namespace quavix {

namespace strip {
// Fixed element sizes and vertical offsets in twips. The status display and the button bar
// start above the strip's top edge so that only their middle band shows.
inline constexpr float Height = 240;
inline constexpr float SliderWidth = 2655, SliderHeight = 255, SliderTop = 0;
inline constexpr float StatusWidth = 2655, StatusHeight = 300, StatusTop = -30;
inline constexpr float ControlsWidth = 3540, ControlsHeight = 300, ControlsTop = -40;
// Gap between the strip's right edge and the right edge of the screen or window it sits in.
inline constexpr int RightMarginPixels = 57;
} // namespace strip

struct StripLayout {
    bool sliderVisible = false, statusVisible = false, controlsVisible = false;
    float sliderLeft = 0, statusLeft = 0, controlsLeft = 0, imageLeft = 0;
    float width = 0; // the strip's width
};

// Left edges and strip width for the given check marks; imageWidth is the icon's width
// (it equals the strip height).
StripLayout layOutStrip(bool slider, bool status, bool controls, float imageWidth = strip::Height);

// The strip's left edge so that its right edge lies RightMarginPixels left of rightEdgePx
// (the screen width, or a window's right edge): computed in double, kept as single.
float stripLeftFor(double rightEdgePx, double twipsPerPixel, float stripWidth);

// Twips to whole logical pixels, nearest with halves to even.
int twipsToPixels(double twips, double twipsPerPixel);

} // namespace quavix
