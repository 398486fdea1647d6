#include "DesktopFiles.h"

#include "WholeFile.h"
#include "XdgPaths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix::desktop {

std::optional<std::vector<std::string>> readLines(const std::string& path, std::size_t maxBytes)
{
    const files::WholeFile file = files::readWholeFile(path, maxBytes);
    if (file.state == files::WholeFile::State::Missing)
        return std::vector<std::string>{};
    if (!file.read() || file.cut)
        return std::nullopt;
    const std::string& text = file.text;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t len = end - start;
        if (len > 0 && text[end - 1] == '\r')
            --len;
        lines.emplace_back(text, start, len);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> linesOf(const std::string& path)
{
    return readLines(path).value_or(std::vector<std::string>{});
}

std::string trimmed(std::string_view text)
{
    std::size_t b = text.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    return std::string(text.substr(b, text.find_last_not_of(" \t\r") - b + 1));
}

std::optional<std::string> value(const std::vector<std::string>& lines, std::string_view group,
                                 std::string_view key)
{
    bool inGroup = false;
    for (const auto& raw : lines) {
        std::string line = trimmed(raw);
        if (!line.empty() && line[0] == '[') {
            inGroup = line == group;
            continue;
        }
        std::size_t eq = line.find('=');
        if (inGroup && eq != std::string::npos && trimmed(line.substr(0, eq)) == key)
            return trimmed(line.substr(eq + 1));
    }
    return std::nullopt;
}

std::vector<std::string> listItems(const std::string& value)
{
    std::vector<std::string> items;
    for (std::size_t start = 0; start <= value.size();) {
        std::size_t end = std::min(value.find(';', start), value.size());
        if (std::string item = trimmed(std::string_view(value).substr(start, end - start));
            !item.empty())
            items.push_back(std::move(item));
        start = end + 1;
    }
    return items;
}

namespace {

std::vector<std::string> applicationFolders()
{
    std::vector<std::string> dirs{xdg::dataHome() + "/applications"};
    for (const auto& d : xdg::dataDirs())
        dirs.push_back(d + "/applications");
    return dirs;
}

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string entryFile(const std::string& desktopId)
{
    if (desktopId.empty() || desktopId.find('/') != std::string::npos)
        return {};
    for (const auto& d : applicationFolders()) {
        std::string id = desktopId;
        for (std::size_t dash = 0; dash != std::string::npos;) {
            std::string file = d + "/" + id;
            if (isRegularFile(file))
                return file;
            dash = id.find('-', dash);
            if (dash != std::string::npos)
                id[dash++] = '/';
        }
    }
    return {};
}

bool entryProgramFound(const std::string& entryFile)
{
    // The first word of Exec, as xdg-mime takes it: quoted, or up to the first blank.
    const std::string exec =
        trimmed(value(linesOf(entryFile), "[Desktop Entry]", "Exec").value_or(""));
    std::string program;
    if (!exec.empty() && exec[0] == '"') {
        for (std::size_t i = 1; i < exec.size() && exec[i] != '"'; ++i)
            program += exec[i] == '\\' && i + 1 < exec.size() ? exec[++i] : exec[i];
    } else {
        program = exec.substr(0, exec.find_first_of(" \t"));
    }
    if (program.empty())
        return false;
    const auto runnable = [](const std::string& path) {
        return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos)
        return runnable(program);
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start && runnable(std::string(dirs.substr(start, end - start)) + "/" + program))
            return true;
        start = end + 1;
    }
    return false;
}

namespace {

// xdg-mime's last resort: the entry in the applications folders (and their subfolders) that
// lists the type, the highest InitialPreference first, the first found among equals.
std::optional<std::string> entryListingType(const std::string& mimeType)
{
    std::optional<std::string> best;
    long bestPreference = -1;
    std::error_code ec;
    for (const auto& folder : applicationFolders()) {
        std::vector<std::string> files;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 folder, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->path().extension() == ".desktop")
                files.push_back(it->path().string());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            const auto lines = linesOf(file);
            const auto types = listItems(value(lines, "[Desktop Entry]", "MimeType").value_or(""));
            if (std::find(types.begin(), types.end(), mimeType) == types.end())
                continue;
            const long preference = std::strtol(
                value(lines, "[Desktop Entry]", "InitialPreference").value_or("0").c_str(), nullptr,
                10);
            if (preference > bestPreference) {
                bestPreference = preference;
                best = std::filesystem::path(file).filename().string();
            }
        }
    }
    return best;
}

} // namespace

std::optional<std::string> defaultApplication(const std::string& mimeType, Installed installed)
{
    const std::vector<std::string> mimeApps = xdg::mimeAppsFiles();
    std::vector<std::vector<std::string>> mimeAppsLines;
    mimeAppsLines.reserve(mimeApps.size());
    for (const auto& file : mimeApps)
        mimeAppsLines.push_back(linesOf(file));

    auto firstInstalled =
        [&](const std::vector<std::string>& lines, std::string_view group,
            const std::vector<std::string>& excluded) -> std::optional<std::string> {
        for (const auto& id : listItems(value(lines, group, mimeType).value_or("")))
            if (std::find(excluded.begin(), excluded.end(), id) == excluded.end()) {
                const std::string file = entryFile(id);
                if (!file.empty() && (installed == Installed::Entry || entryProgramFound(file)))
                    return id;
            }
        return std::nullopt;
    };

    for (const auto& lines : mimeAppsLines)
        if (auto id = firstInstalled(lines, "[Default Applications]", {}))
            return id;
    std::vector<std::string> defaultsLists;
    const std::string menuPrefix = [] {
        const char* p = std::getenv("XDG_MENU_PREFIX");
        return p ? std::string(p) : std::string();
    }();
    for (const auto& d : applicationFolders()) {
        if (!menuPrefix.empty())
            defaultsLists.push_back(d + "/" + menuPrefix + "defaults.list");
        defaultsLists.push_back(d + "/defaults.list");
    }
    for (const auto& file : defaultsLists)
        if (auto id = firstInstalled(linesOf(file), "[Default Applications]", {}))
            return id;

    std::vector<std::string> removed;
    for (const auto& lines : mimeAppsLines)
        for (auto& id : listItems(value(lines, "[Removed Associations]", mimeType).value_or("")))
            removed.push_back(std::move(id));
    for (const auto& lines : mimeAppsLines)
        if (auto id = firstInstalled(lines, "[Added Associations]", removed))
            return id;
    for (const auto& d : applicationFolders())
        if (auto id = firstInstalled(linesOf(d + "/mimeinfo.cache"), "[MIME Cache]", removed))
            return id;
    if (installed == Installed::Program)
        return entryListingType(mimeType);
    return std::nullopt;
}

} // namespace quavix::desktop
