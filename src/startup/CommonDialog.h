#pragma once
// The main window's file dialog. The program has one, used by Play File, the first-run
// set-up, Change Image and every open and save of the play list editor; like a dialog
// control kept between uses, it holds the file name of its last use (the name it was given,
// or the file the user chose) and offers it again where a use gives no name of its own.
#include "platform/Dialogs.h"

#include <optional>
#include <string>

namespace quavix::commonDialog {

enum class Kind { Open, Save };

// Shows the dialog through the dialogs service. initialName nullopt: the name the last use
// left. Returns the chosen path; Cancel, a failure or an empty name give nullopt and leave
// the held name as this use set it.
std::optional<std::string> show(Kind kind, FileDialogRequest request,
                                std::optional<std::string> initialName = std::nullopt);

} // namespace quavix::commonDialog
