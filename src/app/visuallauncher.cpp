// Visual mode from nkswarm: nkswarm-visual, found beside this program, replaces this process
// with the same command line before anything is read, so that it reads the configuration,
// reports errors and warnings once, and opens the window; its exit status is the program's.
// When it cannot start, nkswarm goes on reading the configuration, so that configuration
// errors still come first, and then says why there is no window.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "visualmode.h"

namespace {

// The folder of the running program, with a trailing slash; empty when it cannot be told.
std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = '\0';
    const std::string s(path);
    return s.substr(0, s.rfind('/') + 1);
}

}  // namespace

std::string launchVisualProgram(char** argv) {
    const std::string program = programFolder() + "nkswarm-visual";
    fflush(stdout);
    fflush(stderr);
    execv(program.c_str(), argv);
    if (errno == ENOENT)
        return "Visual mode is not built: " + program +
               ", the program that shows the window, is missing. Install Qt 5 and VTK 9 "
               "(scripts/install-deps.sh --visual) and rebuild.";
    return "Visual mode cannot start " + program + ": " + strerror(errno);
}
