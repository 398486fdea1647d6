#include "XdgBrowser.h"

#include "DesktopClassesRegistry.h"
#include "platform/posix/XdgPaths.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quavix {

namespace {

const char* const HtmlType = "text/html";

std::string trimmed(const std::string& s)
{
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(trimmed(line));
    return lines;
}

std::optional<std::string> entryPath(const std::string& desktopId)
{
    // An id is a file name, never a path: "../x.desktop" must not reach outside the folders.
    if (desktopId.empty() || desktopId.find('/') != std::string::npos)
        return std::nullopt;
    std::vector<std::string> dirs{xdg::dataHome()};
    for (const auto& d : xdg::dataDirs())
        dirs.push_back(d);
    std::error_code ec;
    for (const auto& d : dirs) {
        std::string path = d + "/applications/" + desktopId;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> associated(const std::string& group)
{
    for (const auto& file : xdg::mimeAppsFiles()) {
        bool inGroup = false;
        for (const auto& line : readLines(file)) {
            if (!line.empty() && line[0] == '[') {
                inGroup = line == group;
                continue;
            }
            std::size_t eq = line.find('=');
            if (!inGroup || eq == std::string::npos || trimmed(line.substr(0, eq)) != HtmlType)
                continue;
            std::stringstream ids(line.substr(eq + 1));
            for (std::string id; std::getline(ids, id, ';');)
                if (auto path = entryPath(trimmed(id)))
                    return path;
        }
    }
    return std::nullopt;
}

std::optional<std::string> execLine(const std::string& entry)
{
    bool inGroup = false;
    for (const auto& line : readLines(entry)) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        std::size_t eq = line.find('=');
        if (inGroup && eq != std::string::npos && trimmed(line.substr(0, eq)) == "Exec")
            return DesktopClassesRegistry::unescapeString(trimmed(line.substr(eq + 1)));
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<std::string>> XdgBrowser::commandFor(const std::string& exec,
                                                               const std::string& address)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false, addressUsed = false;
    auto endWord = [&] {
        if (inWord)
            words.push_back(word);
        word.clear();
        inWord = false;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted && c == '"') {
            quoted = false;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            endWord();
        } else if (!quoted && c == '"') {
            quoted = inWord = true;
        } else if (c == '\\' && i + 1 < exec.size() &&
                   (!quoted ||
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos)) {
            word += exec[++i];
            inWord = true;
        } else if (c == '%' && i + 1 < exec.size()) {
            char code = exec[++i];
            if (code == '%') {
                word += '%';
                inWord = true;
            } else if (std::string_view("uUfF").find(code) != std::string_view::npos) {
                word += address;
                inWord = addressUsed = true;
            }
            // Every other code (%i %c %k, deprecated ones) stands for nothing here.
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    endWord();
    if (words.empty())
        return std::nullopt;
    if (!addressUsed)
        words.push_back(address);
    return words;
}

std::optional<std::string> XdgBrowser::findBrowser()
{
    if (auto path = associated("[Default Applications]"))
        return path;
    return associated("[Added Associations]");
}

bool XdgBrowser::open(const std::string& browser, const std::string& address)
{
    auto exec = execLine(browser);
    if (!exec)
        return false;
    auto words = commandFor(*exec, address);
    if (!words)
        return false;
    QStringList arguments;
    for (std::size_t i = 1; i < words->size(); ++i)
        arguments << QString::fromStdString((*words)[i]);
    return QProcess::startDetached(QString::fromStdString(words->front()), arguments);
}

} // namespace quavix
