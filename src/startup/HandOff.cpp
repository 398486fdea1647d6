#include "HandOff.h"

#include "Globals.h"
#include "platform/FileReplace.h"
#include "platform/TextFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

namespace {

using text::writeAll;

std::string para()
{
    return std::string(CrLf) + CrLf;
}

} // namespace

bool holdsLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

void reportLineBreakName(const std::string& name, Dialogs& dialogs)
{
    std::string shown;
    for (char c : name)
        shown += c == '\r'   ? std::string("[CR]")
                 : c == '\n' ? std::string("[LF]")
                             : std::string(1, c);
    dialogs.messageBox(ProgramTitle,
                       "\"" + shown + "\" cannot be played: its name holds a line break ([CR] or " +
                           "[LF] above), and a play list entry is one line." + para() +
                           "Nothing was added to the play list.",
                       MsgIcon::Exclamation, MsgButtons::Ok);
}

const std::string* entryWithLineBreak(const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries)
        if (holdsLineBreak(entry))
            return &entry;
    return nullptr;
}

const std::string* entryNamingPlayList(const std::vector<std::string>& entries,
                                       const std::string& playListFile)
{
    struct stat list {};
    if (playListFile.empty() || ::stat(playListFile.c_str(), &list) != 0)
        return nullptr;
    for (const std::string& entry : entries) {
        struct stat st {};
        if (::stat(entry.c_str(), &st) == 0 && st.st_dev == list.st_dev && st.st_ino == list.st_ino)
            return &entry;
    }
    return nullptr;
}

void reportPlayListItself(const std::string& playListFile, Dialogs& dialogs)
{
    dialogs.messageBox(ProgramTitle,
                       "\"" + playListFile + "\" is the default play list itself: a play list " +
                           "cannot hold itself." + para() + "Nothing was added to the play list.",
                       MsgIcon::Exclamation, MsgButtons::Ok);
}

std::string playListLines(const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& entry : entries) {
        if (!text.empty())
            text += CrLf;
        text += entry;
    }
    return text;
}

bool writePlayListLine(const std::string& file, const std::string& line, bool append,
                       std::string& error)
{
    error.clear();
    if (file.empty()) {
        error = "no play list file is set";
        return false;
    }
    // A replaced list must never be seen half written, even after a kill.
    if (!append)
        return replaceFile(file, line + CrLf, error);
    // Appending needs the last byte: a file that ends without a line end would otherwise
    // glue the new entry onto its last one.
    int fd = ::open(file.c_str(), O_CLOEXEC | O_CREAT | O_RDWR | O_APPEND, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::string data = line + CrLf;
    off_t before = -1;
    if (struct stat st{}; ::fstat(fd, &st) == 0) {
        before = st.st_size;
        char last = '\n';
        if (before > 0 && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n')
            data.insert(0, CrLf);
    }
    bool ok = writeAll(fd, data);
    int writeErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok) {
        error = std::strerror(writeErrno);
        if (before >= 0 && ::truncate(file.c_str(), before) != 0) {
            // Nothing more to do: the error above is what the user hears about.
        }
    }
    return ok;
}

HandOffResult handOffToRunningInstance(const std::string& playListFile,
                                       const std::vector<std::string>& entries, Process& process,
                                       Clock& clock, std::string& error)
{
    if (entryWithLineBreak(entries))
        return HandOffResult::NameRefused;
    if (entryNamingPlayList(entries, playListFile))
        return HandOffResult::ListItself;
    if (!writePlayListLine(playListFile, playListLines(entries), true, error))
        return HandOffResult::PlayListNotWritten;
    const std::string remembered = process.title();
    process.setTitle(std::string(ProgramTitle) + "-Dup" + clock.dateTimeText());
    return process.activateWindow(remembered) ? HandOffResult::HandedOver
                                              : HandOffResult::NotAcknowledged;
}

void reportHandOff(HandOffResult result, const std::string& playListFile,
                   const std::string& commandLine, const std::string& error, Dialogs& dialogs)
{
    const std::string title = ProgramTitle;
    if (result == HandOffResult::NameRefused)
        reportLineBreakName(commandLine, dialogs);
    if (result == HandOffResult::ListItself)
        reportPlayListItself(playListFile, dialogs);
    if (result == HandOffResult::PlayListNotWritten) {
        dialogs.messageBox(title,
                           "The play list file \"" + playListFile + "\" could not be written" +
                               (error.empty() ? "" : " (" + error + ")") + "." + para() + "\"" +
                               commandLine + "\" was not passed on to the running " + title + ".",
                           MsgIcon::Exclamation, MsgButtons::Ok);
    } else if (result == HandOffResult::NotAcknowledged) {
        dialogs.messageBox(title,
                           "The running " + title + " did not answer." + para() + "\"" +
                               commandLine + "\" was added to the play list file \"" +
                               playListFile + "\", but the running " + title +
                               " was not asked to show it.",
                           MsgIcon::Exclamation, MsgButtons::Ok);
    }
}

} // namespace quavix
