#pragma once
// What the properties dialog needs of the main window beyond MainWindowPort. Form1
// implements it; the dialog finds it as the loaded main window, and does without it (a
// window-less test, the main window gone) by skipping those steps.
#include <QIcon>

namespace quavix {

class PropertiesHost {
public:
    virtual ~PropertiesHost() = default;
    // Shows icon (a usable one, see IconSet::usableAsWindowIcon) as the window's icon and on
    // Image1; index is the icon choice it came from.
    virtual void applyProgramIcon(const QIcon& icon, int index) = 0;
    // The tray icon takes the window's icon again (fUpdateTrayIcon with modify).
    virtual void refreshTrayIcon() = 0;
    // Image1's top from gAdjustIconUpDown, then the strip laid out again.
    virtual void applyPlacement() = 0;
    // The icon timer from gRandomIconWhileRunning and gChangeIconAfterFile.
    virtual void setUpIconTimer() = 0;
};

} // namespace quavix
