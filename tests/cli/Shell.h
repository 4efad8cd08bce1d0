#pragma once
// Runs a shell command line the way a user's shell would, with silvane-cli as
// $CLI (and $SILVANE_CLI, which the recipes' scripts read), and returns its exit
// status and what it wrote. Files live in the test program's scratch directory.

#include "tests/soundfile/TestFiles.h"

#include <cstdlib>
#include <string>

#include <sys/wait.h>

namespace clitest {

struct Shell {
    int status = -1; // -1: killed by a signal
    std::string out, err;
};

inline Shell sh(const std::string& line) {
    ::setenv("CLI", SILVANE_CLI, 1);
    ::setenv("SILVANE_CLI", SILVANE_CLI, 1);
    const std::string o = testfiles::scratch("sh-out.txt"), e = testfiles::scratch("sh-err.txt");
    const int st = std::system(("{ " + line + "; } >" + o + " 2>" + e).c_str());
    Shell r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    const auto bo = testfiles::readBytes(o), be = testfiles::readBytes(e);
    r.out.assign(bo.begin(), bo.end());
    r.err.assign(be.begin(), be.end());
    return r;
}

} // namespace clitest
