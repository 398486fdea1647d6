#include "clsPlaySong.h"

#include "clsActivityLog.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <climits>
#include <cmath>

namespace quavix {

namespace {

int wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return static_cast<int>(std::nearbyint(std::min(seconds, double(INT_MAX))));
}

} // namespace

void clsPlaySong::fPlaySong()
{
    Globals& g = globals();
    Services& s = services();
    if (g.gLogActivity)
        clsActivityLog().fAppendActivity();

    MediaPlayer& player = *s.media;
    player.setFileName(g.gCurrentFileName);
    MainWindowPort* form = mainWindow();
    if (form)
        form->setSliderMin(0);
    int max = wholeSeconds(player.duration());
    if (form)
        form->setSliderMax(max);

    for (;;) {
        int state = player.playState();
        if (state != MediaPlayer::Paused && state != MediaPlayer::Playing)
            return;
        s.process->sleep(100);
        s.process->processEvents();
    }
}

} // namespace quavix
