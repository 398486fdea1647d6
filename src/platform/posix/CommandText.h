#pragma once
// Open commands as the classes registry holds them: the program path in double quotes
// (with '"' and '\' escaped by '\'), then " %1" for the file. Quoting keeps paths with
// blanks whole. Header-only so that start-up can build one without the real services.
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace quavix::command {

inline std::string quote(const std::string& word)
{
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The open command for a program: "<quoted path> %1".
inline std::string openCommand(const std::string& program)
{
    return quote(program) + " %1";
}

// Splits a command into words: blanks separate, double quotes group, '\' escapes '"' and
// '\' inside quotes. nullopt for an unterminated quote.
inline std::optional<std::vector<std::string>> split(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
                word += text[++i];
            else if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words.push_back(word);
    return words;
}

// The folder of the running executable (from /proc/self/exe), or "" when unknown.
inline std::string ownFolder()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// The launcher users start: "quavix" next to the running executable. It is what file
// managers must run, because it hands files to a running instance cheaply.
inline std::string launcherPath()
{
    return ownFolder() + "/quavix";
}

} // namespace quavix::command
