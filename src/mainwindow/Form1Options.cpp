#include "Form1Options.h"

#include "startup/Globals.h"
#include "startup/OptionValues.h"
#include "startup/Services.h"

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
    // One save for all: a kill while the program ends leaves the old set or the new one.
    auto flag = [](bool on) { return std::string(on ? "True" : "False"); };
    return services().options->saveAll(
        ProgramTitle, {{Section, "StatusAreaVisible", flag(o.statusAreaVisible)},
                       {Section, "ControlsVisible", flag(o.controlsVisible)},
                       {Section, "SliderVisible", flag(o.sliderVisible)},
                       {Section, "AlwaysOnTop", flag(o.alwaysOnTop)},
                       {Section, "Minimized", flag(o.minimized)},
                       {Section, "RemoveFromSystemTray", flag(o.removeFromSystemTray)},
                       {Section, "Volume", std::to_string(o.volume)}});
}

} // namespace quavix
