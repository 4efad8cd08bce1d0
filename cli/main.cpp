#include "cli/Command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cli {

std::vector<Command>& commands() {
    static std::vector<Command> list;
    return list;
}

int usageError(const Command& c, const std::string& why) {
    if (!why.empty())
        std::fprintf(stderr, "silvane-cli %s: %s\n", c.name, why.c_str());
    std::fprintf(stderr, "usage: %s\n", c.usage);
    return 2;
}

bool parseDouble(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

}  // namespace cli

static void printUsage(std::FILE* out) {
    auto list = cli::commands();
    std::sort(list.begin(), list.end(),
              [](const cli::Command& a, const cli::Command& b) { return a.order < b.order; });
    std::fprintf(out, "usage: silvane-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& c : list)
        std::fprintf(out, "  %s\n", c.usage);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        printUsage(stdout);
        return 0;
    }
    for (const auto& c : cli::commands()) {
        if (std::strcmp(c.name, argv[1]) == 0) {
            std::vector<std::string> args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    std::fprintf(stderr, "silvane-cli: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return 2;
}
