#pragma once
// Subcommand registry of silvane-cli. Each command file defines a static
// CommandRegistration; main() looks the first argument up here.

#include <string>
#include <vector>

namespace cli {

// A subcommand receives its own arguments (argv after the command name).
// Return codes: 0 success, 1 failure of the work, 2 usage error.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* usage; // one or more lines, shown by `silvane-cli --help`
    int order;         // position in the help text
    CommandFn run;
};

std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& c) { commands().push_back(c); }
};

// Prints "usage: ..." for one command to stderr and returns 2.
int usageError(const Command& c, const std::string& why);

// A whole argument as a finite number (no trailing text).
bool parseDouble(const std::string& text, double& value);

} // namespace cli
