#include "LineDialogs.h"

namespace quavix {

namespace {

// Line breaks of any kind become one " / " per run of them; the text is otherwise kept.
std::string oneLine(const std::string& text)
{
    std::string line;
    bool inBreak = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            inBreak = true;
            continue;
        }
        if (inBreak && !line.empty())
            line += " / ";
        inBreak = false;
        line += c;
    }
    return line;
}

} // namespace

std::string LineDialogs::boxLine(const std::string& title, const std::string& text,
                                 MsgButtons buttons)
{
    return "quavix: " + oneLine(title) + ": " + oneLine(text) + " (answered " +
           (buttons == MsgButtons::YesNo ? "No" : "OK") + ")";
}

MsgAnswer LineDialogs::messageBox(const std::string& title, const std::string& text, MsgIcon,
                                  MsgButtons buttons)
{
    m_out.write(boxLine(title, text, buttons));
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

std::optional<std::string> LineDialogs::openFile(const FileDialogRequest& request)
{
    m_out.write("quavix: " + oneLine(request.title) + ": no file can be chosen here (cancelled)");
    return std::nullopt;
}

std::optional<std::string> LineDialogs::saveFile(const FileDialogRequest& request)
{
    return openFile(request);
}

} // namespace quavix
