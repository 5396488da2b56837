// Fatal-error reporting.
#include "util.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
bool g_fatalThrows = false;
}

void setFatalExitThrows(bool throws) { g_fatalThrows = throws; }

void fatalExit(int status) {
    fflush(stdout);
    fflush(stderr);
    if (g_fatalThrows) throw FatalExit(status);
    exit(status);
}

void fatalError(const char* location, const char* fmt, ...) {
    fprintf(stderr, "ERROR at %s:\n", location);
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fatalExit(1);
}
