#include "clsINISettings.h"

#include "CommonDialog.h"
#include "Globals.h"
#include "Services.h"
#include "Windows.h"
#include "clsIniItemCounter.h"
#include "platform/posix/CommandText.h"
#include "platform/posix/LineWriter.h"
#include "platform/posix/XdgPaths.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace quavix {

namespace {

const char* const FileLocations = "File Locations";

std::string para()
{
    return std::string(CrLf) + CrLf;
}

std::string readProfile(const char* section, const std::string& key, const std::string& def)
{
    // Read before the command line is known: the default profile, always.
    return services().profile->read(section, key, def, "");
}

} // namespace

bool isBlankText(const std::string& text)
{
    return text.find_first_not_of(" \t") == std::string::npos;
}

std::string defaultPlayListFile(Profile& profile, OptionsStore& options)
{
    std::string file = profile.read(FileLocations, "FileList", "", "");
    if (isBlankText(file))
        file = options.get(ProgramTitle, FileLocations, "FileList", "");
    return file;
}

void clsINISettings::fGetINISettings()
{
    Globals& g = globals();
    Services& s = services();
    g.gPlayListFile = defaultPlayListFile(*s.profile, *s.options);
    if (isBlankText(g.gPlayListFile)) {
        firstRunSetUp();
        return; // only reached when endProgram returns (it does not in the program)
    }
    readEngineSettings();
}

std::string clsINISettings::fGetStationSettings()
{
    Globals& g = globals();
    g.gPlayListFile = readProfile(FileLocations, "FileList", "");
    if (isBlankText(g.gPlayListFile))
        return "names no song list: set FileList in [File Locations] to the file the station "
               "writes its song list to";
    readEngineSettings();
    if (g.gMP3Locations.empty())
        return "names no song folder: set MP3Location001 in [File Locations] to a folder "
               "ending with /";
    g.gBadNames = readProfile("StartUp", "BadNames", "Skip");
    if (g.gBadNames != "Skip" && g.gBadNames != "Play")
        errorLine("quavix: [StartUp] BadNames=" + g.gBadNames +
                  " is neither Skip nor Play; songs whose name breaks the convention are "
                  "skipped");
    return {};
}

void clsINISettings::readEngineSettings()
{
    Globals& g = globals();
    g.gMP3Locations.clear();
    clsIniItemCounter counter;
    for (;;) {
        std::string number = counter.fGetNextNumber();
        std::string folder = readProfile(FileLocations, "MP3Location" + number, "");
        if (folder.empty() || number == "32767")
            break;
        g.gMP3Locations.push_back(folder);
    }

    const std::string logFolder = xdg::defaultLogFolder();
    g.gLogLocation = readProfile(FileLocations, "LogLocation", logFolder);
    if (g.gLogLocation == logFolder) {
        // The log writer appends file names to this folder; it must exist.
        std::error_code ec;
        std::filesystem::create_directories(logFolder, ec);
    }
    g.gStartUpAction = readProfile("StartUp", "Action", "Preview");
    // The key is matched with blanks around it ignored, so "AutoLoadMP3Locations" and
    // "AutoLoadMP3Locations " in the profile both count.
    g.gAutoLoadMP3Locations = readProfile("StartUp", "AutoLoadMP3Locations ", "No") == "Yes";
    // The engine's activity rows, switched on next to the other start-up values.
    g.gLogActivity = readProfile("StartUp", "LogActivity", "No") == "Yes";
}

void clsINISettings::firstRunSetUp()
{
    Globals& g = globals();
    Services& s = services();
    const std::string title = ProgramTitle;
    const std::string needed =
        "A default playlist file must be specified in order for " + title + " to work correctly.";

    s.dialogs->messageBox("Missing Information",
                          needed + para() + "Click OK and then specify a default playlist file.",
                          MsgIcon::Information, MsgButtons::Ok);

    FileDialogRequest request;
    request.title = "Open";
    request.filter = "All Files (*.*)|*.*|Playlist Files(*.pls;*.m3u)|*.pls;*.m3u";
    request.filterIndex = 2;
    std::optional<std::string> chosen =
        commonDialog::show(commonDialog::Kind::Open, request, title + ".m3u");
    if (!chosen) {
        s.dialogs->messageBox("Missing Information",
                              "The Cancel button was pressed." + para() + needed + para() +
                                  "Click OK to exit the program.",
                              MsgIcon::Information, MsgButtons::Ok);
        s.process->endProgram();
        return;
    }

    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(*chosen, ec);
    g.gPlayListFile = ec ? *chosen : full.lexically_normal().string();

    // Created before it is stored: a play list that cannot exist must not become the
    // default, or every later start would use it instead of asking again.
    if (!std::filesystem::exists(g.gPlayListFile, ec)) {
        std::ofstream create(g.gPlayListFile, std::ios::binary);
        if (!create) {
            s.dialogs->messageBox(
                title,
                "The play list file \"" + g.gPlayListFile + "\" could not be created." + para() +
                    "Check that its folder exists and can be written." + para() +
                    "Nothing was stored; " + title + " asks again at its next start.",
                MsgIcon::Exclamation, MsgButtons::Ok);
            if (MainWindowPort* w = mainWindowIfLoaded())
                w->disableTimers();
            s.process->endProgram();
            return;
        }
    }
    // The first run's settings are stored as one: all of them, or none and a clear word.
    const std::string example = "mms://media.example.net/RockMusic";
    std::vector<OptionValue> settings = {{FileLocations, "FileList", g.gPlayListFile},
                                         {"Locations", "LastLocation", example},
                                         {"Locations", "LocationHistory0", example},
                                         {"Locations", "LocationHistory1", "Last Item"}};
    for (const char* ext : {".MP3", ".WAV", ".ASF", ".ASX", ".RA", ".RAM", ".RM", ".RMM", ".MID",
                            ".RMI", ".AU", ".SND"})
        settings.push_back({"OriginalAssociations", ext, "<none>"});
    settings.push_back({"Options", "PlayListInSequentialOrder", "True"});
    if (!s.options->saveAll(title, settings)) {
        const std::string where = s.options->location();
        s.dialogs->messageBox(title,
                              "The settings could not be stored" +
                                  (where.empty() ? std::string() : " in \"" + where + "\"") + "." +
                                  para() + "Check that its folder can be written." + para() +
                                  "Nothing was stored; " + title + " asks again at its next start.",
                              MsgIcon::Exclamation, MsgButtons::Ok);
        if (MainWindowPort* w = mainWindowIfLoaded())
            w->disableTimers();
        s.process->endProgram(1);
        return;
    }

    s.classes->setValue(title, title);
    s.classes->setValue(title + "\\shell\\open\\command",
                        command::openCommand(command::launcherPath()));

    s.dialogs->messageBox(
        "Setup Complete",
        title +
            " must exit in order to save and utilize the required configuration information "
            "about your system." +
            para() + "Click on the OK button to exit." + para() + "Re-starting " + title +
            " will complete the setup process and allow you to start using the program." + para() +
            "We hope you enjoy using " + title + ".",
        MsgIcon::Information, MsgButtons::Ok);

    if (MainWindowPort* w = mainWindowIfLoaded())
        w->disableTimers();
    s.process->endProgram();
}

} // namespace quavix
