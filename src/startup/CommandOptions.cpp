#include "CommandOptions.h"

#include <cstdio>

#ifndef QUAVIX_VERSION
#error "QUAVIX_VERSION is set by the build"
#endif

namespace quavix {

CommandOptions parseCommandOptions(const std::vector<std::string>& arguments)
{
    CommandOptions result;
    bool station = false;
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.size() < 2 || word[0] != '-')
            break;
        if (word == "--") {
            ++i;
            break;
        }
        if (word == "--station") {
            station = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            result.action = CommandOptions::Action::Help;
            return result;
        }
        if (word == "--version" || word == "-V") {
            result.action = CommandOptions::Action::Version;
            return result;
        }
        result.action = CommandOptions::Action::Error;
        result.message = "unknown option '" + word + "'; to play a file of that name, write ./" +
                         word + " or put -- before it";
        return result;
    }
    result.arguments.assign(arguments.begin() + static_cast<long>(i), arguments.end());
    if (station) {
        result.action = CommandOptions::Action::Station;
        // A second word is a profile name that the shell split at a blank, or a file the
        // station would never play: either way not what was meant.
        if (result.arguments.size() > 1) {
            result.action = CommandOptions::Action::Error;
            result.message = "--station takes one profile; quote a name that holds blanks";
            result.arguments.clear();
        }
    }
    return result;
}

std::string helpText(const std::string& program)
{
    return "Usage: " + program + " [--] [FILE... | ADDRESS... | PROFILE]\n" + "       " + program +
           " --station [PROFILE]\n" + "       " + program +
           " --help | --version\n"
           "\n"
           "Quavix, a small audio player that rides in the title bar of the window in front.\n"
           "\n"
           "  FILE           a sound file to play; a running Quavix adds it to its play list.\n"
           "                 Several files become several entries, in order; a relative\n"
           "                 name is taken from the folder the command runs in\n"
           "  ADDRESS        a stream address (http, https, mms, mmsh, rtsp)\n"
           "  PROFILE        a station profile, read before every song ([Play Status])\n"
           "  --station      run the station as a service: no display, window or question;\n"
           "                 every value comes from PROFILE (default: the profile below).\n"
           "                 Each message goes to standard error as one line. The end of\n"
           "                 the list ends it with status 0; SIGTERM or SIGINT end it at\n"
           "                 once (status 0); a profile it cannot use ends it with status\n"
           "                 78. A song whose name breaks the convention is skipped, or\n"
           "                 played as it is with [StartUp] BadNames=Play; never renamed\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "  --             end of the options: \"" +
           program +
           " -- -x\" plays a file named -x\n"
           "\n"
           "Files: $XDG_CONFIG_HOME/quavix/quavix.ini (profile), options.ini (options).\n"
           "See quavix(1), and Help > On-line Help in the program's menu.\n";
}

std::string versionText()
{
    return std::string("Quavix ") + QUAVIX_VERSION + "\n";
}

int answerCommandOptions(const CommandOptions& options, const std::string& program)
{
    switch (options.action) {
    case CommandOptions::Action::Run:
    case CommandOptions::Action::Station:
        return -1;
    case CommandOptions::Action::Help:
        std::fputs(helpText(program).c_str(), stdout);
        break;
    case CommandOptions::Action::Version:
        std::fputs(versionText().c_str(), stdout);
        break;
    case CommandOptions::Action::Error:
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.c_str(),
                     options.message.c_str(), program.c_str());
        return 2;
    }
    // A full disk or a closed pipe must not pass for a printed answer.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output\n", program.c_str());
        return 1;
    }
    return 0;
}

} // namespace quavix
