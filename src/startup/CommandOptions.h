#pragma once
// The few options both programs (quavix and quavix-gui) answer before anything else: no
// display, no store and no running instance is touched for them.
//
// Only leading words that begin with '-' are options; the first other word and everything
// after it is the command line (a file, an address or a station profile), kept as given.
// "--" ends the options and is dropped, so "quavix -- --help" plays a file named "--help"
// (as does "quavix ./--help"). A lone "-" is a file name. File managers pass absolute
// paths, which never look like options.
//
// "--station [PROFILE]" runs the play engine as a service: no display, no window, and
// PROFILE (one word; the default profile when left out) is the only profile it reads.
#include <string>
#include <vector>

namespace quavix {

struct CommandOptions {
    enum class Action { Run, Station, Help, Version, Error };
    Action action = Action::Run;
    // Run: the words of the command line; Station: the profile, or none for the default.
    std::vector<std::string> arguments;
    std::string message; // Error: what was wrong, for stderr
};

CommandOptions parseCommandOptions(const std::vector<std::string>& arguments);

// The texts printed for --help (usage of `program`) and --version ("Quavix 0.1.0").
std::string helpText(const std::string& program);
std::string versionText();

// Prints the answer of a Help, Version or Error action (stdout, stdout, stderr) and
// gives the exit status: 0, 0 and 2. -1 for Run and Station: nothing was printed, go on.
int answerCommandOptions(const CommandOptions& options, const std::string& program);

} // namespace quavix
