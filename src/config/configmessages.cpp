// The configuration reader's messages and the ways it ends on an error.
#include "configmessages.h"

#include <cstdio>

#include "configtext.h"
#include "util.h"

std::string ConfigMessages::where(const ConfigFile& file, int line) {
    return file.name() + (line > 0 ? ":" + std::to_string(line) : "") + ": ";
}

std::string ConfigMessages::foundAt(const ConfigFile& file, const Word& w) {
    const bool elsewhere = !w.atEnd && w.line != file.lastKeywordLine();
    return foundText(w) + (elsewhere ? " on line " + std::to_string(w.line) : "");
}

void ConfigMessages::problem(const ConfigFile& file, int line, const std::string& text) {
    if (firstProblem_.empty()) firstProblem_ = where(file, line) + text;
}

void ConfigMessages::problemText(const std::string& text) {
    if (firstProblem_.empty()) firstProblem_ = text;
}

std::string ConfigMessages::withFirstProblem(const std::string& details) const {
    return firstProblem_.empty() ? details : details + "first problem: " + firstProblem_ + "\n";
}

void ConfigMessages::specError(const std::string& firstLine, const std::string& details) const {
    NK_FATAL(Config, "%s", withFirstProblem(firstLine + "\n" + details + "\n").c_str());
}

void ConfigMessages::stop(const std::string& text) const {
    NK_FATAL(Config, "%s\n", firstProblem_.empty() ? text.c_str() : firstProblem_.c_str());
}

void ConfigMessages::finish() const {
    if (!firstProblem_.empty()) NK_FATAL(Config, "%s\n", firstProblem_.c_str());
}

void addWarning(std::vector<std::string>& warnings, const std::string& text) {
    warnings.push_back(text);
    if (errorMessagesPrinted()) fprintf(stderr, "warning: %s\n", text.c_str());
}
