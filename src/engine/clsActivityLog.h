#pragma once
// The daily activity log of the play engine: a CSV text file (lines end with CR LF) named
// gLogLocation + "OnAirActivity-" + gLogDate + ".log", with a header line and one row per
// played song.
//
// A log that cannot be written never stops the engine: the user is told once per file
// (a message naming the file and the reason) and playing goes on.
#include "platform/Clock.h"

#include <cstdint>
#include <string>

namespace quavix {

class clsActivityLog {
public:
    static constexpr const char* Header = "\"ActivityDateTime\",\"Group\",\"CDTitle\","
                                          "\"ReleaseYear\",\"Title\",\"ActivityLength\","
                                          "\"FileName\"";

    // The day's log file name from gLogLocation and gLogDate (plain concatenation).
    static std::string fLogFileName();
    // "yyyymmdd".
    static std::string fDateText(const LocalDateTime& when);

    // Creates the day's log with its header line when no file of that name exists, making a
    // missing folder first. An existing file is left untouched.
    void fCreateLogFile();
    // Appends the row of the current song (the gCurrent* fields) to the day's log.
    void fAppendActivity();
    // Appends the row of an entry the play-list player put on the air, its fields taken
    // from its file name (empty, length 0, when the name breaks the convention).
    void fAppendPlayed(const std::string& entry);

    // One row without its line end: seven fields in double quotes, separated by commas;
    // the texts trimmed of blanks, a double quote inside a field doubled.
    static std::string fFormatActivityRow(const std::string& dateTime, const std::string& group,
                                          const std::string& cdTitle,
                                          const std::string& releaseYear, const std::string& title,
                                          std::int32_t length, const std::string& fileName);
};

} // namespace quavix
