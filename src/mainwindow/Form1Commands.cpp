// Form1's commands that hand over to another part of the program: playing a file, the
// dialogs, the transport buttons and the media event (the play-list player does the work).
#include "Form1.h"
#include "engine/PlayCommands.h"
#include "engine/PlayListPlayer.h"
#include "engine/clsPlayFromPlayList.h"
#include "openlocation/frmOpenLocation.h"
#include "playlist/frmPlayList.h"
#include "properties/frmProperties.h"
#include "startup/Globals.h"

namespace quavix {

void Form1::mnuPlayFile_Click()
{
    playFileCommand();
}

void Form1::mnuPlayLocation_Click()
{
    setTimer1Enabled(false);
    frmOpenLocation* dialog = frmOpenLocation::instance();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// The editor does not block: the player starts at once (unless the editor was last left
// with Cancel) and plays on while the list is edited.
void Form1::mnuPlayListEditor_Click()
{
    setTimer1Enabled(false);
    frmPlayList* editor = frmPlayList::instance();
    editor->show();
    editor->raise();
    editor->activateWindow();
    setTimer1Enabled(true);
    if (!globals().gPlayListEditCancelled)
        clsPlayFromPlayList().fPlayPlayList();
}

// The strip stays where it is while the dialog is open; its OK or Cancel lets it move again.
void Form1::mnuProperties_Click()
{
    setTimer1Enabled(false);
    frmProperties* dialog = frmProperties::instance();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// The transport commands and the media event: the play-list player does the work.
void Form1::MMControl1_PrevClick()
{
    PlayListPlayer::previous();
}

void Form1::MMControl1_NextClick()
{
    PlayListPlayer::next();
}

void Form1::MMControl1_PlayClick()
{
    PlayListPlayer::start();
}

void Form1::MMControl1_PauseClick()
{
    PlayListPlayer::pause();
}

void Form1::MMControl1_BackClick()
{
    PlayListPlayer::back();
}

void Form1::MMControl1_StepClick()
{
    PlayListPlayer::step();
}

void Form1::MMControl1_StopClick()
{
    PlayListPlayer::stop();
}

void Form1::MediaPlayer1_PlayStateChange(int oldState, int newState, bool currentItem)
{
    PlayListPlayer::playStateChanged(oldState, newState, currentItem);
}

void Form1::Image1_OLEDragDrop(const std::vector<std::string>& files)
{
    playDroppedFiles(files);
}

} // namespace quavix
