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
    write(boxLine(title, text, buttons));
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

std::optional<std::string> LineDialogs::openFile(const FileDialogRequest& request)
{
    write("quavix: " + oneLine(request.title) + ": no file can be chosen here (cancelled)");
    return std::nullopt;
}

std::optional<std::string> LineDialogs::saveFile(const FileDialogRequest& request)
{
    return openFile(request);
}

void LineDialogs::write(const std::string& line)
{
    // A line at a time, straight through: the journal must have it before the program
    // ends, which may follow at once.
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

} // namespace quavix
