// Form1's commands that other parts of the program fill in: the play commands, the
// dialogs, the tray commands, help and the media event. Each is connected to its menu item,
// button or event already.
#include "Form1.h"
#include "engine/PlayCommands.h"
#include "engine/PlayListPlayer.h"
#include "openlocation/frmOpenLocation.h"

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

// The play list editor and the properties dialog are separate windows of their own parts;
// until they are part of the program these commands only hold and release the placement
// timer, so the strip does not move while the menu closes.
void Form1::mnuPlayListEditor_Click()
{
    setTimer1Enabled(false);
    setTimer1Enabled(true);
}

void Form1::mnuProperties_Click()
{
    setTimer1Enabled(false);
    setTimer1Enabled(true);
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

void Form1::MediaPlayer1_PlayStateChange(int oldState, int newState)
{
    PlayListPlayer::playStateChanged(oldState, newState);
}

void Form1::Image1_OLEDragDrop(const std::vector<std::string>& files)
{
    playDroppedFiles(files);
}

} // namespace quavix
