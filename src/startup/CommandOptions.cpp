#include "CommandOptions.h"

#include <cstdio>

#ifndef QUAVIX_VERSION
#error "QUAVIX_VERSION is set by the build"
#endif

namespace quavix {

CommandOptions parseCommandOptions(const std::vector<std::string>& arguments)
{
    CommandOptions result;
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.size() < 2 || word[0] != '-')
            break;
        if (word == "--") {
            ++i;
            break;
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
    return result;
}

std::string helpText(const std::string& program)
{
    return "Usage: " + program + " [--] [FILE... | ADDRESS... | PROFILE]\n" + "       " + program +
           " --help | --version\n"
           "\n"
           "Quavix, a small audio player that rides in the title bar of the window in front.\n"
           "\n"
           "  FILE           a sound file to play; a running Quavix adds it to its play list.\n"
           "                 Several files become several entries, in order; a relative\n"
           "                 name is taken from the folder the command runs in\n"
           "  ADDRESS        a stream address (http, https, mms, mmsh, rtsp)\n"
           "  PROFILE        a station profile, read before every song ([Play Status])\n"
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
