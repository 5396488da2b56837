// Configuration reading primitives and fatal-error reporting.
#include "util.h"

#include <strings.h>

#include <cctype>
#include <cstdarg>
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

bool open_file(const char* filename, const char* mode, FILE** fp, bool required) {
    *fp = fopen(filename, mode);
    if (*fp) return true;
    if (required) NK_FATAL("Cannot open %s\n", filename);
    fprintf(stderr, "Cannot open %s\n", filename);
    return false;
}

void fgl(FILE* fp) {
    int c;
    do {
        c = getc(fp);
    } while (c != '\n' && c != EOF);
}

bool read_word(FILE* fp, char* buf, size_t bufSize) {
    int c;
    do {
        c = getc(fp);
    } while (c != EOF && isspace(c));
    if (c == EOF) {
        if (bufSize > 0) buf[0] = '\0';
        return false;
    }
    size_t len = 0;
    while (c != EOF && !isspace(c)) {
        if (len + 1 >= bufSize) {
            buf[len] = '\0';
            NK_FATAL("Word longer than %zu characters: %.40s...\n", bufSize - 1, buf);
        }
        buf[len++] = static_cast<char>(c);
        c = getc(fp);
    }
    buf[len] = '\0';
    // Like "%s", leave the separator for the next read so that fgl still sees a line feed.
    if (c != EOF) ungetc(c, fp);
    return true;
}

bool read_till_keyword(FILE* fp, const char* keyword, bool required) {
    char word[1004];
    long pos = ftell(fp);
    for (;;) {
        if (!read_word(fp, word, sizeof word)) {
            if (required) NK_FATAL("Could not find keyword: %s\n", keyword);
            fseek(fp, pos, SEEK_SET);
            return false;
        }
        if (word[0] != '#') break;
        fgl(fp);
        pos = ftell(fp);
    }
    if (strcasecmp(word, keyword) == 0) return true;
    // Not ours: the next request must see the same word again.
    fseek(fp, pos, SEEK_SET);
    return false;
}
