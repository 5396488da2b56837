// Fatal-error reporting.
#include "util.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::atomic<FatalMode> g_fatalMode{FatalMode::Exit};
}

void setFatalMode(FatalMode mode) { g_fatalMode = mode; }

FatalMode fatalMode() { return g_fatalMode; }

bool errorMessagesPrinted() { return g_fatalMode != FatalMode::ThrowQuietly; }

void fatalExit(ErrorKind kind, int status, const std::string& message) {
    fflush(stdout);
    fflush(stderr);
    if (g_fatalMode != FatalMode::Exit) throw FatalExit(kind, status, message);
    exit(status);
}

void fatalError(ErrorKind kind, const char* location, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    const int length = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::vector<char> text(length > 0 ? (size_t)length + 1 : 1, '\0');
    vsnprintf(text.data(), text.size(), fmt, again);
    va_end(again);
    const std::string message = std::string("ERROR at ") + location + ":\n" + text.data();
    if (errorMessagesPrinted()) fputs(message.c_str(), stderr);
    fatalExit(kind, 1, message);
}
