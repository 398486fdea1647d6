#include "CommonDialog.h"

#include "Globals.h"
#include "Services.h"

namespace quavix::commonDialog {

std::optional<std::string> show(Kind kind, FileDialogRequest request,
                                std::optional<std::string> initialName)
{
    std::string& held = globals().commonDialog1FileName;
    if (initialName)
        held = *initialName;
    request.initialName = held;
    Dialogs* dialogs = services().dialogs;
    auto chosen = kind == Kind::Save ? dialogs->saveFile(request) : dialogs->openFile(request);
    if (chosen && chosen->empty())
        chosen.reset();
    if (chosen)
        held = *chosen;
    return chosen;
}

} // namespace quavix::commonDialog
