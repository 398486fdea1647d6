#pragma once
// Message boxes for a program that nobody watches (the station as a service): each box is
// one line through a LineWriter (standard error, which systemd puts in the journal, by
// default) and is answered at once, the way that changes nothing the user did not ask for.
//
// - messageBox(title, text, ...) writes "quavix: <title>: <text> (answered <OK|No>)": the
//   paragraphs of the text (separated by CR LF CR LF, or any line break) joined by " / ",
//   so that one box is always one line. OK boxes are answered OK; Yes/No boxes No.
// - openFile / saveFile write a line naming the dialog's title and return std::nullopt
//   (Cancel): nobody can choose a file.
#include "platform/Dialogs.h"
#include "platform/posix/LineWriter.h"

namespace quavix {

class LineDialogs : public Dialogs {
public:
    explicit LineDialogs(LineWriter& out = standardError()) : m_out(out) {}
    MsgAnswer messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;

    // The line of a box, without its line end (pure).
    static std::string boxLine(const std::string& title, const std::string& text,
                               MsgButtons buttons);

private:
    LineWriter& m_out;
};

} // namespace quavix
