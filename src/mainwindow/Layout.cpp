#include "Layout.h"

#include <cmath>

namespace quavix {

StripLayout layOutStrip(bool slider, bool status, bool controls, float imageWidth)
{
    StripLayout l;
    l.sliderVisible = slider;
    l.statusVisible = status;
    l.controlsVisible = controls;

    // Walk the fixed order; each visible element starts where the previous visible one ends.
    float next = 0;
    auto place = [&next](bool visible, float width, float& left) {
        left = 0;
        if (visible) {
            left = next;
            next = left + width;
        }
    };
    place(slider, strip::SliderWidth, l.sliderLeft);
    place(status, strip::StatusWidth, l.statusLeft);
    place(controls, strip::ControlsWidth, l.controlsLeft);
    l.imageLeft = next;

    float width = 0;
    if (slider)
        width += strip::SliderWidth;
    if (status)
        width += strip::StatusWidth;
    if (controls)
        width += strip::ControlsWidth;
    l.width = width + imageWidth;
    return l;
}

float stripLeftFor(double rightEdgePx, double twipsPerPixel, float stripWidth)
{
    return static_cast<float>(rightEdgePx * twipsPerPixel - stripWidth -
                              strip::RightMarginPixels * twipsPerPixel);
}

int twipsToPixels(double twips, double twipsPerPixel)
{
    if (!(twipsPerPixel > 0))
        return 0;
    return static_cast<int>(std::nearbyint(twips / twipsPerPixel));
}

} // namespace quavix
