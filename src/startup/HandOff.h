#pragma once
// Passing a command line to the instance that already runs, and writing the command line
// into the default play list. Shared by Main and the launcher, which does the same
// hand-off before any toolkit is loaded.
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

#include <string>
#include <vector>

namespace quavix {

enum class HandOffResult {
    HandedOver,         // line appended, running instance activated and acknowledged
    PlayListNotWritten, // nothing handed over; the title is unchanged
    NotAcknowledged,    // line appended, but the running instance did not answer
    NameRefused,        // the command line holds a line break: nothing written or handed over
    ListItself,         // an entry names the play list file itself: nothing written
};

// True when the text holds a CR or LF: it cannot be one line of a play list.
bool holdsLineBreak(const std::string& text);

// The first entry that holds a line break, or nullptr when every one is a line.
const std::string* entryWithLineBreak(const std::vector<std::string>& entries);

// The first entry that names the play list file itself (the same file, by any name), or
// nullptr: a list holding itself would only end the play list player.
const std::string* entryNamingPlayList(const std::vector<std::string>& entries,
                                       const std::string& playListFile);

// The box that refuses such an entry.
void reportPlayListItself(const std::string& playListFile, Dialogs& dialogs);

// The entries as play-list text: one line each, joined by CR LF (no line end after the last).
std::string playListLines(const std::vector<std::string>& entries);

// The box that refuses such a name (shown with its line breaks made visible).
void reportLineBreakName(const std::string& name, Dialogs& dialogs);

// Writes line + CR LF into the play list file (line may be several, see playListLines): appended as
// a new last line (a last line without its line end gets one first), or as the file's only line
// when append is false. On failure returns false and sets error to the reason; an append leaves no
// partial line.
bool writePlayListLine(const std::string& file, const std::string& line, bool append,
                       std::string& error);

// The hand-off: append the entries to the play list, take the title
// "Quavix-Dup" + date and time so that only the running instance bears the program's
// title, then ask the instance with the former title to show itself. error receives the
// reason when the play list could not be written.
HandOffResult handOffToRunningInstance(const std::string& playListFile,
                                       const std::vector<std::string>& entries, Process& process,
                                       Clock& clock, std::string& error);

// The box a failed hand-off shows (nothing for HandedOver); error is the write failure.
void reportHandOff(HandOffResult result, const std::string& playListFile,
                   const std::string& commandLine, const std::string& error, Dialogs& dialogs);

} // namespace quavix
