// The one way the program ends on an input error.
#pragma once

#include <stdexcept>
#include <string>

// Source location of the caller as "path:line"; paths are relative to the repository
// because the build maps the source directory away (-fmacro-prefix-map).
#define NK_STR2(x) #x
#define NK_STR(x) NK_STR2(x)
#define NK_HERE (__FILE__ ":" NK_STR(__LINE__))

// What ended a run, so that callers (the Python module, tests) act on the kind and never on
// the text: a configuration the model cannot run, a genome file, a command line, a file that
// cannot be written, or a fault of the program itself.
enum class ErrorKind { Config, Genome, Usage, IO, Internal };

// Prints "ERROR at <location>:\n" and the formatted message to standard error, exits with 1.
// The first argument names the ErrorKind: NK_FATAL(Config, "...", ...).
#define NK_FATAL(kind, ...) fatalError(ErrorKind::kind, NK_HERE, __VA_ARGS__)

[[noreturn]] void fatalError(ErrorKind kind, const char* location, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// Ends the program with `status` after flushing the standard streams, or throws a FatalExit
// that carries `message` (what was or would have been written to standard error).
[[noreturn]] void fatalExit(ErrorKind kind, int status, const std::string& message = "");

struct FatalExit : std::runtime_error {
    int status;
    ErrorKind kind;
    FatalExit(ErrorKind k, int s, const std::string& message)
        : std::runtime_error(message.empty() ? "fatal exit " + std::to_string(s) : message), status(s), kind(k) {}
};

// What an input error does: end the program (the programs), throw after writing the
// messages as the program would (tests and fuzzers), or throw without writing anything (the
// Python module, whose callers get the message in the exception). Set once by whoever runs
// the engine, before any simulation starts.
enum class FatalMode { Exit, Throw, ThrowQuietly };
void setFatalMode(FatalMode mode);
FatalMode fatalMode();

// Sets the fatal mode for its lifetime and restores the previous one (tests, fuzzers).
class FatalModeGuard {
public:
    explicit FatalModeGuard(FatalMode mode) : previous(fatalMode()) { setFatalMode(mode); }
    ~FatalModeGuard() { setFatalMode(previous); }
    FatalModeGuard(const FatalModeGuard&) = delete;
    FatalModeGuard& operator=(const FatalModeGuard&) = delete;

private:
    FatalMode previous;
};
// Whether messages (errors, warnings, the genome reader's reports) go to the standard streams.
bool errorMessagesPrinted();
