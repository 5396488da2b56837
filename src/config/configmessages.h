// The configuration reader's messages: the first problem, kept until reading ends; the errors
// that end reading at once; warnings.
#pragma once

#include <string>
#include <vector>

#include "configfile.h"

// Keeps a warning in `warnings` (without "warning: ") and, when messages are printed, writes it
// to standard error.
void addWarning(std::vector<std::string>& warnings, const std::string& text);

class ConfigMessages {
public:
    // Warnings go to `warnings` (the record being read, which outlives its reader).
    explicit ConfigMessages(std::vector<std::string>& warnings) : warnings_(warnings) {}

    // "file:line: " ("file: " without a line): where a message starts.
    static std::string where(const ConfigFile& file, int line);
    // The found word, with its line when that is not the line of the keyword it belongs to.
    static std::string foundAt(const ConfigFile& file, const Word& w);

    // Keeps a problem that reading can go on past, if it is the first.
    void problem(const ConfigFile& file, int line, const std::string& text);
    void problemText(const std::string& text);
    bool anyProblem() const { return !firstProblem_.empty(); }
    // `details` and, under it, the first problem if there is one.
    std::string withFirstProblem(const std::string& details) const;

    // Ends reading (throws FatalExit in throwing mode) with an error's known first line, then
    // `details` and the first problem.
    [[noreturn]] void specError(const std::string& firstLine, const std::string& details) const;
    // Ends reading with the first problem, or with `text` where there is none.
    [[noreturn]] void stop(const std::string& text) const;
    // Ends reading with the first problem, if there is one.
    void finish() const;

    void warn(const std::string& text) { addWarning(warnings_, text); }

private:
    std::vector<std::string>& warnings_;
    std::string firstProblem_;
};
