// Form1's placement tick: the strip rides in the caption area of the window in front.
#include "Form1.h"
#include "mainwindow/Layout.h"
#include "mainwindow/Placement.h"
#include "mainwindow/ScreenSize.h"
#include "startup/Globals.h"
#include "startup/Services.h"

namespace quavix {

void Form1::placeInCaptionArea()
{
    WindowSystem* windows = services().windows;
    const auto own = static_cast<WindowSystem::Handle>(winId());
    PlacementInput in = askWindowSystem(*windows, own);
    if (in.foreground != 0 && in.foreground != own && !in.visible)
        in.screen = clsScreenSize().fGetScreenRect();
    in.tppX = twipsPerPixelX();
    in.tppY = twipsPerPixelY();
    in.stripWidth = twipsForm.width;
    in.adjustUpDown = globals().gAdjustFontUpDown;
    in.adjustLeftRight = globals().gAdjustFontLeftRight;
    const std::optional<StripSpot> spot = captionSpot(in);
    if (!spot)
        return;
    // Moving a strip that moves itself to where it already is would only make it flicker;
    // a compositor that places it is told every time all the same (the placer passes on only
    // what the compositor has not heard yet).
    if (spot->left != twipsForm.left || spot->top != twipsForm.top)
        moveStripTwips(spot->left, spot->top, spot->topmost);
    else
        windows->placeStrip(own, stripPixels(spot->left, spot->top), spot->topmost);
    if (spot->topmost)
        windows->makeTopmost(own, true);
}

} // namespace quavix
