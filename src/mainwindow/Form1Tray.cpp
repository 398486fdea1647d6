// Form1's tray commands and the tray icon's mouse messages.
#include "Form1.h"
#include "mainwindow/TrayIcon.h"

#include <QCursor>

namespace quavix {

void Form1::refreshMinimizeEnabled()
{
    // Hiding with no tray would leave no way back to the strip.
    mnuMinimize->setEnabled(m_minimizeAllowed && (mnuMinimize->isChecked() || trayAvailable()));
}

void Form1::Msghook_Message(std::uint32_t wp, std::uint32_t lp)
{
    if (wp != trayicon::IconId)
        return;
    if (lp == Tray::LeftDoubleClick) {
        show();
        raise();
        activateWindow();
    } else if (lp == Tray::RightButtonUp) {
        setTimer1Enabled(false);
        popUpMenu()->popup(QCursor::pos());
    }
}

void Form1::mnuMinimize_Click()
{
    if (mnuMinimize->isChecked()) {
        mnuMinimize->setChecked(false);
        show();
        setTimer1Enabled(true);
        mnuRemoveFromSystemTray->setEnabled(true);
    } else {
        if (!trayAvailable()) {
            refreshMinimizeEnabled();
            return;
        }
        mnuMinimize->setChecked(true);
        hide();
        setTimer1Enabled(false);
        mnuRemoveFromSystemTray->setEnabled(false);
    }
}

void Form1::mnuRemoveFromSystemTray_Click()
{
    if (mnuRemoveFromSystemTray->isChecked()) {
        mnuRemoveFromSystemTray->setChecked(false);
        fUpdateTrayIcon(Tray::Add);
        m_minimizeAllowed = true;
    } else {
        mnuRemoveFromSystemTray->setChecked(true);
        deleteTrayIcon();
        m_minimizeAllowed = false;
    }
    refreshMinimizeEnabled();
}

} // namespace quavix
