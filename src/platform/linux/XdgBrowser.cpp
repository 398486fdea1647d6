#include "XdgBrowser.h"

#include "DesktopClassesRegistry.h"
#include "platform/posix/DesktopFiles.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cctype>

namespace quavix {

namespace {

const char* const HtmlType = "text/html";

std::optional<std::string> execLine(const std::string& entry)
{
    if (auto exec = desktop::value(desktop::linesOf(entry), "[Desktop Entry]", "Exec"))
        return DesktopClassesRegistry::unescapeString(*exec);
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
    auto id = desktop::defaultApplication(HtmlType);
    if (!id)
        return std::nullopt;
    return desktop::entryFile(*id);
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
