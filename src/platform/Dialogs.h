#pragma once
// Message boxes and file dialogs. All modal; they run their own nested event loop.
//
// messageBox(title, text, icon, buttons) -> the button pressed. A box closed without a
// button counts as No for Yes/No boxes and OK for OK boxes.
// openFile / saveFile: filter in the "Name|pattern|Name|pattern" form, filterIndex 1-based
// (the entry preselected), initialName the proposed file name. They return the full path
// of the chosen file, or std::nullopt on Cancel or any failure.
#include <optional>
#include <string>

namespace quavix {

enum class MsgIcon { Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct FileDialogRequest {
    std::string title;
    std::string filter;
    int filterIndex = 1;
    std::string initialName;
    bool mustExist = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
};

} // namespace quavix
