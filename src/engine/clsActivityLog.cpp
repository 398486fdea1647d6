#include "clsActivityLog.h"

#include "SongFileName.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace quavix {

namespace {

std::string trimBlanks(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string quoted(const std::string& field)
{
    std::string out = "\"";
    for (char c : field) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

// Tells the user once per file, so a station with a broken log folder is not buried in
// boxes while it goes on playing.
void reportUnwritable(const std::string& path, const std::string& reason)
{
    static std::set<std::string> reported;
    if (!reported.insert(path).second)
        return;
    services().dialogs->messageBox("Activity Log",
                                   "The activity log \"" + path +
                                       "\" cannot be written: " + reason + "." + CrLf + CrLf +
                                       "Songs go on playing, but they are not logged there.",
                                   MsgIcon::Exclamation, MsgButtons::Ok);
}

bool writeLine(const std::string& path, const std::string& line, std::ios::openmode mode)
{
    errno = 0;
    std::ofstream out(path, mode | std::ios::binary);
    if (out)
        out << line << CrLf;
    if (out)
        out.close();
    if (!out) {
        int err = errno;
        reportUnwritable(path, err ? std::strerror(err) : "write failed");
        return false;
    }
    return true;
}

} // namespace

std::string clsActivityLog::fLogFileName()
{
    const Globals& g = globals();
    return g.gLogLocation + "OnAirActivity-" + g.gLogDate + ".log";
}

std::string clsActivityLog::fDateText(const LocalDateTime& when)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", when.year % 10000, when.month % 100,
                  when.day % 100);
    return text;
}

void clsActivityLog::fCreateLogFile()
{
    namespace fs = std::filesystem;
    const std::string path = fLogFileName();
    std::error_code ec;
    if (fs::exists(fs::path(path), ec))
        return;
    fs::path folder = fs::path(path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            reportUnwritable(path, "its folder cannot be made (" + ec.message() + ")");
            return;
        }
    }
    writeLine(path, Header, std::ios::out | std::ios::trunc);
}

void clsActivityLog::fAppendActivity()
{
    const Globals& g = globals();
    std::string when = services().clock->dateTimeText();
    writeLine(fLogFileName(),
              fFormatActivityRow(when, g.gCurrentGroup, g.gCurrentCDTitle, g.gCurrentReleaseYear,
                                 g.gCurrentTitle, g.gCurrentLength, g.gCurrentFileName),
              std::ios::out | std::ios::app);
}

void clsActivityLog::fAppendPlayed(const std::string& entry)
{
    const SongNameParts parts = parseSongName(fileNamePart(entry));
    const bool ok = parts.ok;
    writeLine(fLogFileName(),
              fFormatActivityRow(services().clock->dateTimeText(), ok ? parts.group : "",
                                 ok ? parts.cdTitle : "", ok ? parts.releaseYear : "",
                                 ok ? parts.title : "", ok ? parts.length : 0, entry),
              std::ios::out | std::ios::app);
}

std::string clsActivityLog::fFormatActivityRow(const std::string& dateTime,
                                               const std::string& group, const std::string& cdTitle,
                                               const std::string& releaseYear,
                                               const std::string& title, std::int32_t length,
                                               const std::string& fileName)
{
    return quoted(dateTime) + "," + quoted(trimBlanks(group)) + "," + quoted(trimBlanks(cdTitle)) +
           "," + quoted(trimBlanks(releaseYear)) + "," + quoted(trimBlanks(title)) + "," +
           quoted(std::to_string(length)) + "," + quoted(trimBlanks(fileName));
}

} // namespace quavix
