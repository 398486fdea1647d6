// Form1's program icon: the random changes (the minute timer and the after-file trigger) and
// what the properties dialog applies to the strip.
#include "Form1.h"
#include "engine/PlayListPlayer.h"
#include "properties/IconSet.h"
#include "properties/frmProperties.h"
#include "startup/Globals.h"
#include "startup/OptionValues.h"
#include "startup/Services.h"

#include <QPointer>

namespace quavix {

void Form1::wireProgramIcon()
{
    onTimerChangeIcon = [this] {
        iconChangeTick(globals(), mIconDraws, *services().random,
                       [this] { return fChangeProgramIcon(); });
    };
    PlayListPlayer::setIconChangeAfterFile([this] { fChangeProgramIcon(); });
}

bool Form1::fChangeProgramIcon()
{
    Services& s = services();
    const int index = mIconDraws.drawIndex(*s.random, IconSet::Count);
    // The pictures a fresh dialog would hold, unless the user has it open with newer ones.
    frmProperties* open = frmProperties::loaded();
    const QIcon icon = open ? open->picture(index) : IconSet::chosenIcon(index, *s.options);
    if (!IconSet::usableAsWindowIcon(icon)) {
        reportImageError();
        return false;
    }
    applyProgramIcon(icon, index);
    saveOptionInt("Options", "ImageIndex", index);
    QPointer<Form1> self(this);
    processEventsOnce();
    if (self && !m_unloaded)
        refreshTrayIcon();
    return true;
}

void Form1::applyProgramIcon(const QIcon& icon, int index)
{
    mImageIndex = index;
    setProgramIcon(icon);
}

void Form1::refreshTrayIcon()
{
    fUpdateTrayIcon(Tray::Modify);
}

void Form1::applyPlacement()
{
    twipsImage1.top = static_cast<float>(globals().gAdjustIconUpDown);
    fAdjustFormWidth();
}

void Form1::setUpIconTimer()
{
    const Globals& g = globals();
    if (g.gRandomIconWhileRunning && !g.gChangeIconAfterFile) {
        timerChangeIcon->setInterval(60000);
        timerChangeIcon->start();
    } else {
        timerChangeIcon->stop();
    }
}

} // namespace quavix
