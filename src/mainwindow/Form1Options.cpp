#include "Form1Options.h"

#include "startup/OptionValues.h"

#include <algorithm>

namespace quavix {

namespace {
const char* const Section = "Options";
} // namespace

Form1Options readForm1Options(int iconCount)
{
    Form1Options o;
    o.statusAreaVisible = optionBool(Section, "StatusAreaVisible", false);
    o.controlsVisible = optionBool(Section, "ControlsVisible", false);
    o.sliderVisible = optionBool(Section, "SliderVisible", false);
    o.playListSequential = optionBool(Section, "PlayListInSequentialOrder", true);
    o.randomIconAtStartup = optionChecked(Section, "RandomSelectIconAtStartup");
    o.randomIconWhileRunning = optionChecked(Section, "RandomSelectIconWhileRunning");
    o.changeIconAfterFile = optionChecked(Section, "ChangeIconAfterFile");
    const int index = optionInt16(Section, "ImageIndex", 0);
    o.imageIndex = (index >= 0 && index < iconCount) ? index : 0;
    o.alwaysOnTop = optionBool(Section, "AlwaysOnTop", true);
    o.minimized = optionBool(Section, "Minimized", false);
    o.removeFromSystemTray = optionBool(Section, "RemoveFromSystemTray", false);
    o.volume = optionInt32(Section, "Volume", 0);
    return o;
}

bool saveForm1Options(const Form1SavedOptions& o)
{
    bool ok = true;
    auto save = [&](bool saved) { ok = saved && ok; };
    save(saveOptionBool(Section, "StatusAreaVisible", o.statusAreaVisible));
    save(saveOptionBool(Section, "ControlsVisible", o.controlsVisible));
    save(saveOptionBool(Section, "SliderVisible", o.sliderVisible));
    save(saveOptionBool(Section, "AlwaysOnTop", o.alwaysOnTop));
    save(saveOptionBool(Section, "Minimized", o.minimized));
    save(saveOptionBool(Section, "RemoveFromSystemTray", o.removeFromSystemTray));
    save(saveOptionInt(Section, "Volume", o.volume));
    return ok;
}

} // namespace quavix
