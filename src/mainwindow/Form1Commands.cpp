// Form1's commands that other parts of the program fill in: the play commands, the
// dialogs, the tray commands, help and the media event. Each is connected to its menu item,
// button or event already.
#include "Form1.h"

namespace quavix {

void Form1::mnuPlayFile_Click() {}
void Form1::mnuPlayLocation_Click() {}
void Form1::mnuPlayListEditor_Click() {}
void Form1::mnuProperties_Click() {}
void Form1::mnuMinimize_Click() {}
void Form1::mnuRemoveFromSystemTray_Click() {}
void Form1::mnuHelpOnLine_Click() {}
void Form1::mnuHelpAbout_Click() {}

void Form1::MMControl1_PrevClick() {}
void Form1::MMControl1_NextClick() {}
void Form1::MMControl1_PlayClick() {}
void Form1::MMControl1_PauseClick() {}
void Form1::MMControl1_BackClick() {}
void Form1::MMControl1_StepClick() {}
void Form1::MMControl1_StopClick() {}

void Form1::MediaPlayer1_PlayStateChange(int, int) {}
void Form1::Image1_OLEDragDrop(const std::vector<std::string>&) {}
void Form1::Msghook_Message(std::uint32_t, std::uint32_t) {}

// Timer1's first step: moving the strip into the caption area of the window in front.
void Form1::placeInCaptionArea() {}

} // namespace quavix
