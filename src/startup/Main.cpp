#include "Main.h"

#include "Globals.h"
#include "HandOff.h"
#include "OptionValues.h"
#include "Services.h"
#include "Windows.h"
#include "clsINISettings.h"

namespace quavix {

void Main(const MainHooks& hooks)
{
    Globals& g = globals();
    Services& s = services();

    g.gExitProgram = false;
    clsINISettings().fGetINISettings();
    g.gCommandLine = s.process->commandLine();

    // Words that name nothing (empty ones) are no file to play.
    const std::vector<std::string> entries =
        g.gCommandLine.empty() ? std::vector<std::string>{} : s.process->playListEntries();
    if (!entries.empty()) {
        std::string error;
        if (s.process->previousInstance()) {
            HandOffResult r =
                handOffToRunningInstance(g.gPlayListFile, entries, *s.process, *s.clock, error);
            const std::string* refused = entryWithLineBreak(entries);
            reportHandOff(r, g.gPlayListFile, refused ? *refused : g.gCommandLine, error,
                          *s.dialogs);
            // A file that did not reach the running instance is a failed command.
            s.process->endProgram(r == HandOffResult::HandedOver ? 0 : 1);
            return;
        }
        if (const std::string* refused = entryWithLineBreak(entries)) {
            reportLineBreakName(*refused, *s.dialogs);
        } else if (entryNamingPlayList(entries, g.gPlayListFile)) {
            reportPlayListItself(g.gPlayListFile, *s.dialogs);
        } else if (writePlayListLine(g.gPlayListFile, playListLines(entries), false, error)) {
            g.gCommandLineFile = true;
        } else {
            const std::string title = ProgramTitle;
            s.dialogs->messageBox(title,
                                  "The play list file \"" + g.gPlayListFile +
                                      "\" could not be written (" + error + ")." + CrLf + CrLf +
                                      "\"" + g.gCommandLine + "\" will not be played.",
                                  MsgIcon::Exclamation, MsgButtons::Ok);
        }
    }

    g.gAdjustFontUpDown = optionInt32("Options", "AdjustForScreenFontSizeUpDown", 0);
    g.gAdjustFontLeftRight = optionInt32("Options", "AdjustForScreenFontSizeLeftRight", 0);
    g.gAdjustIconUpDown = optionInt32("Options", "AdjustIconUpDown", 0);
    g.gAdjustIconLeftRight = optionInt32("Options", "AdjustIconLeftRight", 0);

    if (MainWindowPort* form1 = mainWindow())
        form1->setVisible(!form1->minimizeChecked());

    g.gLogDate.clear();
    s.process->processEvents();

    if (g.gAutoLoadMP3Locations && hooks.runEngine)
        hooks.runEngine();
}

} // namespace quavix
