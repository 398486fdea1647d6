#pragma once
// Message boxes and file dialogs on QMessageBox and QFileDialog, modal to the whole
// application. Filters come in the "Name|pattern|Name|pattern" form (patterns separated by
// ';'), the preselected entry 1-based. $QUAVIX_DIALOG_LOG names a file that receives one
// line per message box shown (for end-to-end tests).
#include "platform/Dialogs.h"

#include <QStringList>

namespace quavix {

class QtDialogs : public Dialogs {
public:
    MsgAnswer messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;

    // "Name (*.a *.b)" per entry. A name that already ends with its patterns in
    // parentheses keeps them, written the way Qt reads them; a dangling name without a
    // pattern is dropped.
    static QStringList toQtFilters(const std::string& filter);

private:
    std::optional<std::string> fileDialog(const FileDialogRequest& request, bool save);
};

} // namespace quavix
