// The one way the program ends on an input error.
#pragma once

#include <stdexcept>
#include <string>

// Source location of the caller as "path:line"; paths are relative to the repository
// because the build maps the source directory away (-fmacro-prefix-map).
#define NK_STR2(x) #x
#define NK_STR(x) NK_STR2(x)
#define NK_HERE (__FILE__ ":" NK_STR(__LINE__))

// Prints "ERROR at <location>:\n" and the formatted message to standard error, exits with 1.
#define NK_FATAL(...) fatalError(NK_HERE, __VA_ARGS__)

[[noreturn]] void fatalError(const char* location, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Ends the program with `status` after flushing the standard streams. Tests and fuzzers
// can turn this into a thrown FatalExit so that they observe the exit without dying.
[[noreturn]] void fatalExit(int status);

struct FatalExit : std::runtime_error {
    int status;
    explicit FatalExit(int s) : std::runtime_error("fatal exit " + std::to_string(s)), status(s) {}
};
void setFatalExitThrows(bool throws);
