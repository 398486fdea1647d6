#include "clsPlayFromPlayList.h"

#include "engine/PlayListPlayer.h"

namespace quavix {

void clsPlayFromPlayList::fPlayPlayList()
{
    PlayListPlayer::start();
}

} // namespace quavix
