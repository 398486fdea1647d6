// quavix: what users and file managers start. With a file to play and an instance already
// running, it hands the file over without loading the toolkit or the media framework
// (that is what keeps a double click on a file quick); in every other case it becomes
// quavix-gui, the whole program, with the same arguments. A station (--station) takes no
// files and is handed none: it always becomes quavix-gui.
#include "platform/posix/CommandText.h"
#include "platform/posix/IniOptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/SystemClock.h"
#include "startup/CommandOptions.h"
#include "startup/HandOff.h"
#include "startup/clsINISettings.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void becomeGui(char** argv)
{
    std::string gui = quavix::command::ownFolder() + "/quavix-gui";
    std::vector<char*> args;
    args.push_back(gui.data());
    for (char** a = argv + 1; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    ::execv(gui.c_str(), args.data());
    std::fprintf(stderr, "quavix: cannot start %s: %s\n", gui.c_str(), std::strerror(errno));
    std::_Exit(127);
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_TIME, "");
    // quavix-gui reads the options again from the same words, so argv goes to it as it came.
    const auto given = quavix::parseCommandOptions(quavix::PosixProcess::arguments(argc, argv));
    if (int status = quavix::answerCommandOptions(given, "quavix"); status >= 0)
        return status;
    if (given.action == quavix::CommandOptions::Action::Station)
        becomeGui(argv);
    quavix::PosixProcess process(given.arguments);
    const std::string commandLine = process.commandLine();
    const std::vector<std::string> entries = process.playListEntries();
    if (entries.empty())
        becomeGui(argv);

    quavix::IniProfile profile;
    quavix::IniOptionsStore options;
    const std::string playList = quavix::defaultPlayListFile(profile, options);
    if (quavix::isBlankText(playList) || !process.previousInstance())
        becomeGui(argv);

    quavix::SystemClock clock;
    std::string error;
    switch (quavix::handOffToRunningInstance(playList, entries, process, clock, error)) {
    case quavix::HandOffResult::HandedOver:
        process.endProgram();
    case quavix::HandOffResult::NotAcknowledged:
        if (int pid = process.silentInstance()) {
            // A stopped instance cannot show a box, and a second one must not take its list.
            std::fprintf(stderr,
                         "quavix: the running Quavix (process %d) does not answer; \"%s\" was "
                         "added to its play list \"%s\" and plays when it goes on\n",
                         pid, commandLine.c_str(), playList.c_str());
            return 1;
        }
        // The line is in the play list already; the full program only has to say so.
        ::setenv("QUAVIX_HANDOFF_UNANSWERED", playList.c_str(), 1);
        becomeGui(argv);
    case quavix::HandOffResult::NameRefused:
    case quavix::HandOffResult::ListItself:
    case quavix::HandOffResult::PlayListNotWritten:
        // The full program tries again and tells the user what went wrong.
        becomeGui(argv);
    }
    becomeGui(argv);
}
