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

bool clsPlaySong::fPlaySong()
{
    Globals& g = globals();
    Services& s = services();
    MediaPlayer& player = *s.media;
    player.setFileName(g.gCurrentFileName);
    // The log says what went on the air: a song that would not open (gone, unreadable, not
    // a song at all) did not.
    const bool opened = player.errorCode() == 0;
    if (opened && g.gLogActivity)
        clsActivityLog().fAppendActivity();
    MainWindowPort* form = mainWindow();
    if (form)
        form->setSliderMin(0);
    int max = wholeSeconds(player.duration());
    if (form)
        form->setSliderMax(max);

    for (;;) {
        int state = player.playState();
        if (state != MediaPlayer::Paused && state != MediaPlayer::Playing)
            return opened;
        s.process->waitForEvents(100);
    }
}

} // namespace quavix
