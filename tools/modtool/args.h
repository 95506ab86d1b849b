// The command line of modtool: a command, its files and its options, in any
// order ("render -o out.wav song.xm" and "render song.xm -o out.wav" are the
// same). Options take their value as the next word or after '='; "--" ends
// the options, so that a file may start with '-'. A lone "-" is a word like
// any other ("-o -" is standard output).
#pragma once

#include <string>
#include <vector>

struct Args {
    std::string command;             // "help", "info", "render", ...; empty for --version
    std::vector<std::string> files;  // the words that are not options
    std::vector<std::pair<std::string, std::string>> options;  // in order; flags get ""
    bool help = false;                                         // --help / -h, or the help command

    bool has(const std::string &name) const;
    // The last value given for the option, or fallback.
    std::string value(const std::string &name, const std::string &fallback = "") const;
};

// Splits argv. False with a one-line message for a usage error: no command,
// an unknown command, an option the command does not take, an option
// without its value. File counts are checked by the commands.
bool parseArgs(int argc, char **argv, Args *args, std::string *error);

// Whether a name is a command of modtool.
bool isCommand(const std::string &name);
