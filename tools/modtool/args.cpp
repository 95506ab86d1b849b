// The command line of modtool: commands and their option tables.
#include "args.h"

#include <cstring>

namespace {

struct Option {
    const char *name;
    const char *alias;  // a short form, or ""
    bool takesValue;
};

struct Command {
    const char *name;
    std::vector<Option> options;
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = {
        {"help", {}},
        {"info", {{"--adpcm", "", true}, {"--samples", "", false}, {"--json", "", false}}},
        {"render",
         {{"--output", "-o", true},
          {"--rate", "", true},
          {"--mode", "", true},
          {"--loops", "", true},
          {"--format", "", true},
          {"--channels", "", true},
          {"--start", "", true},
          {"--end", "", true}}},
        {"sync", {}},
        {"play", {{"--echo", "", true}, {"--loop", "", false}}},
        {"stream", {{"--type", "", true}, {"--rate", "", true}}},
    };
    return table;
}

const Command *findCommand(const std::string &name)
{
    for (const Command &c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

}  // namespace

bool Args::has(const std::string &name) const
{
    for (const auto &o : options)
        if (o.first == name)
            return true;
    return false;
}

std::string Args::value(const std::string &name, const std::string &fallback) const
{
    std::string v = fallback;
    for (const auto &o : options)
        if (o.first == name)
            v = o.second;
    return v;
}

bool isCommand(const std::string &name) { return findCommand(name) != nullptr; }

bool parseArgs(int argc, char **argv, Args *args, std::string *error)
{
    *args = Args();
    // Words before the command may only be the global options.
    std::vector<std::string> words(argv + 1, argv + argc);
    size_t i = 0;
    for (; i < words.size() && words[i].size() > 1 && words[i][0] == '-'; i++) {
        if (words[i] == "--help" || words[i] == "-h") {
            args->help = true;
        } else if (words[i] == "--version" || words[i] == "-V") {
            args->options.push_back({"--version", ""});
        } else if (words[i] == "--") {
            break;
        } else {
            *error = "unknown option " + words[i];
            return false;
        }
    }
    if (i < words.size() && words[i] == "--")
        i++;
    if (i == words.size()) {
        if (args->help || args->has("--version"))
            return true;
        *error = "no command given";
        return false;
    }
    const Command *command = findCommand(words[i]);
    if (!command) {
        *error = "unknown command " + words[i];
        return false;
    }
    args->command = words[i++];
    if (args->command == "help")
        args->help = true;

    bool optionsEnded = false;
    for (; i < words.size(); i++) {
        const std::string &w = words[i];
        if (optionsEnded || w.size() < 2 || w[0] != '-') {
            args->files.push_back(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        if (w == "--help" || w == "-h") {
            args->help = true;
            continue;
        }
        std::string name = w, value;
        size_t eq = w.find('=');
        bool inlineValue = w.compare(0, 2, "--") == 0 && eq != std::string::npos;
        if (inlineValue) {
            name = w.substr(0, eq);
            value = w.substr(eq + 1);
        }
        const Option *option = nullptr;
        for (const Option &o : command->options)
            if (name == o.name || (*o.alias && name == o.alias))
                option = &o;
        if (!option) {
            *error = "unknown option " + name + " for " + args->command;
            return false;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 == words.size()) {
                *error = name + " needs a value";
                return false;
            }
            value = words[++i];
        } else if (!option->takesValue && inlineValue) {
            *error = name + " takes no value";
            return false;
        }
        args->options.push_back({option->name, value});
    }
    return true;
}
