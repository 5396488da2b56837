// Configuration reading primitives and the one way the program ends on an input error.
#pragma once

#include <cstdio>
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

// Opens `filename`; on failure either ends the program (`required`) or reports and returns false.
bool open_file(const char* filename, const char* mode, FILE** fp, bool required);
// Skips the rest of the current line, line feed included.
void fgl(FILE* fp);
// True when the next word (comments skipped) is `keyword`, ignoring case; otherwise the
// position is left before that word. End of file is fatal only when `required`.
bool read_till_keyword(FILE* fp, const char* keyword, bool required);
// Reads one word as "%s" does, into `buf` of `bufSize` (at least 1) bytes; a word that does
// not fit is fatal rather than truncated. Returns false at end of file.
bool read_word(FILE* fp, char* buf, size_t bufSize);
