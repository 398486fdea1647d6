#include "DesktopClassesRegistry.h"

#include "platform/FileReplace.h"
#include "platform/posix/CommandText.h"
#include "platform/posix/DesktopFiles.h"
#include "platform/posix/XdgPaths.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace quavix {

namespace {

const char* const DesktopId = "quavix.desktop";
const char* const ClassKey = "quavix";
const char* const CommandKey = "quavix\\shell\\open\\command";
const char* const DefaultsSection = "[Default Applications]";

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string error;
    return replaceFile(path, text, error);
}

// A key of the [Desktop Entry] group, unescaped.
std::optional<std::string> entryValue(const std::vector<std::string>& lines, const std::string& key)
{
    if (auto v = desktop::value(lines, "[Desktop Entry]", key))
        return DesktopClassesRegistry::unescapeString(*v);
    return std::nullopt;
}

} // namespace

// Builds the whole entry: the program owns this file.
std::string DesktopClassesRegistry::entryText(const std::string& name,
                                              const std::optional<std::string>& command)
{
    std::vector<std::string> types;
    for (const char* ext : {".MP3", ".WAV", ".ASF", ".ASX", ".RA", ".RAM", ".RM", ".RMM", ".MID",
                            ".RMI", ".AU", ".SND"})
        for (const auto& t : DesktopClassesRegistry::mimeTypes(ext))
            if (std::find(types.begin(), types.end(), t) == types.end())
                types.push_back(t);
    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + DesktopClassesRegistry::escapeString(name) + "\n";
    text += "GenericName=Audio Player\nComment=Audio player\nIcon=quavix\nTerminal=false\n";
    text += "Categories=AudioVideo;Audio;Player;\n";
    text += "Keywords=music;audio;player;playlist;stream;radio;mp3;\n";
    text += "MimeType=";
    for (const auto& t : types)
        text += t + ";";
    text += "\n";
    if (command) {
        if (auto exec = DesktopClassesRegistry::execValue(*command))
            text += "Exec=" + DesktopClassesRegistry::escapeString(*exec) + "\n";
        text += "X-Quavix-Command=" + DesktopClassesRegistry::escapeString(*command) + "\n";
    }
    return text;
}

namespace {

bool setDefaultApplications(const std::vector<std::string>& mimeTypes,
                            const std::optional<std::string>& desktopId)
{
    std::string path = DesktopClassesRegistry::userMimeAppsPath();
    // A file we cannot read whole is not ours to replace.
    auto read = desktop::readLines(path);
    if (!read)
        return false;
    std::vector<std::string> lines = std::move(*read);
    for (const auto& type : mimeTypes) {
        std::optional<std::size_t> header, found;
        bool inDefaults = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string line = desktop::trimmed(lines[i]);
            if (!line.empty() && line[0] == '[') {
                inDefaults = line == DefaultsSection;
                if (inDefaults && !header)
                    header = i;
                continue;
            }
            std::size_t eq = line.find('=');
            if (inDefaults && eq != std::string::npos &&
                desktop::trimmed(line.substr(0, eq)) == type) {
                found = i;
                break;
            }
        }
        std::string entry = desktopId ? type + "=" + *desktopId + ";" : std::string();
        if (found && desktopId)
            lines[*found] = entry;
        else if (found)
            lines.erase(lines.begin() + static_cast<long>(*found));
        else if (desktopId && header)
            lines.insert(lines.begin() + static_cast<long>(*header) + 1, entry);
        else if (desktopId) {
            if (!lines.empty() && !desktop::trimmed(lines.back()).empty())
                lines.emplace_back();
            lines.emplace_back(DefaultsSection);
            lines.push_back(entry);
        }
    }
    std::string text;
    for (const auto& l : lines)
        text += l + "\n";
    return writeFile(path, text);
}

} // namespace

std::string DesktopClassesRegistry::desktopFilePath()
{
    return xdg::dataHome() + "/applications/" + DesktopId;
}

std::string DesktopClassesRegistry::userMimeAppsPath()
{
    return xdg::configHome() + "/mimeapps.list";
}

std::vector<std::string> DesktopClassesRegistry::mimeTypes(const std::string& extension)
{
    static const std::vector<std::pair<std::string, std::string>> table = {
        {".mp3", "audio/mpeg"},
        {".wav", "audio/x-wav"},
        {".asf", "application/vnd.ms-asf"},
        {".asx", "audio/x-ms-asx"},
        {".ra", "audio/vnd.rn-realaudio"},
        {".ram", "application/ram"},
        {".rm", "application/vnd.rn-realmedia"},
        {".rmm", "application/vnd.rn-realmedia"},
        {".mid", "audio/midi"},
        {".rmi", "audio/midi"},
        {".au", "audio/basic"},
        {".snd", "audio/basic"},
    };
    std::string ext = lowered(extension);
    for (const auto& [e, type] : table)
        if (e == ext)
            return {type};
    return {};
}

std::optional<std::string> DesktopClassesRegistry::execValue(const std::string& command)
{
    auto words = command::split(command);
    if (!words || words->empty())
        return std::nullopt;
    std::string exec;
    for (const auto& word : *words) {
        if (!exec.empty())
            exec += ' ';
        if (word == "%1") {
            exec += "%f";
            continue;
        }
        std::string arg;
        bool quote = word.empty();
        for (char c : word) {
            if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
                quote = true;
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                arg += '\\';
            arg += c == '%' ? std::string("%%") : std::string(1, c);
        }
        exec += quote ? "\"" + arg + "\"" : arg;
    }
    return exec;
}

std::string DesktopClassesRegistry::escapeString(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && (i == 0 || i + 1 == text.size()))
            out += "\\s"; // blanks at the ends would be trimmed away
        else
            out += c;
    }
    return out;
}

std::string DesktopClassesRegistry::unescapeString(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::optional<std::string> DesktopClassesRegistry::queryValue(const std::string& key)
{
    std::string k = lowered(key);
    if (k == ClassKey || k == CommandKey) {
        std::error_code ec;
        if (!std::filesystem::exists(desktopFilePath(), ec))
            return std::nullopt;
        auto lines = desktop::linesOf(desktopFilePath());
        return entryValue(lines, k == ClassKey ? "Name" : "X-Quavix-Command");
    }
    // The owner the desktop's own tool names: a default whose program is gone owns nothing.
    for (const auto& type : mimeTypes(key))
        if (auto id = desktop::defaultApplication(type, desktop::Installed::Program))
            return *id == DesktopId ? std::string("Quavix") : *id;
    return std::nullopt;
}

std::string DesktopClassesRegistry::displayName(const std::string& className)
{
    if (className == "Quavix" || className == DesktopId)
        return "Quavix";
    // Only a desktop file id can name an entry; anything else is shown as stored.
    if (className.find('/') != std::string::npos || className.size() <= 8 ||
        className.compare(className.size() - 8, 8, ".desktop") != 0)
        return className;
    std::string file = desktop::entryFile(className);
    if (file.empty())
        return className;
    auto name = entryValue(desktop::linesOf(file), "Name");
    return name && !name->empty() ? *name : className;
}

std::string DesktopClassesRegistry::location(const std::string& key)
{
    std::string k = lowered(key);
    return k == ClassKey || k == CommandKey ? desktopFilePath() : userMimeAppsPath();
}

bool DesktopClassesRegistry::setValue(const std::string& key, const std::string& value)
{
    std::string k = lowered(key);
    if (k == ClassKey || k == CommandKey) {
        auto lines = desktop::linesOf(desktopFilePath());
        std::string name = entryValue(lines, "Name").value_or("Quavix");
        std::optional<std::string> command = entryValue(lines, "X-Quavix-Command");
        if (k == ClassKey)
            name = value;
        else if (!execValue(value))
            return false;
        else
            command = value;
        return writeFile(desktopFilePath(), entryText(name, command));
    }
    auto types = mimeTypes(key);
    if (types.empty())
        return false;
    std::optional<std::string> id;
    if (value == "Quavix")
        id = DesktopId;
    else if (!value.empty() && value != "<none>")
        id = value;
    return setDefaultApplications(types, id);
}

} // namespace quavix
