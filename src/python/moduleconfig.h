// A main configuration held in memory for the Python module: its text, read and checked by the
// program's own reader, and edits of its keywords written back in the order of the keyword table.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "keywords.h"
#include "params.h"

class ModuleConfig {
public:
    // One edit: the keyword and its new lines, each the words after the keyword (no line
    // removes the keyword).
    typedef std::pair<const KeywordEntry*, std::vector<std::vector<std::string>>> Edit;

    // Reads `text` as the main configuration file `name`; a reader error throws FatalExit.
    ModuleConfig(std::string name, std::string text);
    // Reads the file, with the program's message when it cannot be read.
    static ModuleConfig fromFile(const std::string& path);
    // A configuration made of the edits' lines alone, in table order; its messages name `name`
    // and no line, as after an edit.
    static ModuleConfig fromEdits(std::string name, const std::vector<Edit>& edits);
    // The same configuration, read again (its warnings are this one's, already raised).
    ModuleConfig copy() const;
    // What a configuration is made of, kept to read the same configuration again later.
    struct Source {
        std::string name, text;
        std::vector<int> setFromPython;
        bool fromEdits;
    };
    Source source() const { return {name_, text_, setFromPython_, fromEdits_}; }
    static ModuleConfig fromSource(const Source& s);

    const std::string& name() const { return name_; }
    const std::string& text() const { return text_; }
    // What the reader is given: the name and the text until the first edit; after it, the name
    // with the keywords set from Python (made by fromEdits: the name alone), and the text on one
    // line, so that no message names a line of a text the user never saw.
    const std::string& readName() const { return readName_; }
    const std::string& readText() const { return readText_; }
    SimuParameters& params() const { return *params_; }
    // The keywords the configuration states, in its order, each once.
    std::vector<std::string> keywords() const;
    // Writes the configuration back with each edit's lines in place of the keyword's (where the
    // keyword has no line, in table order) and reads the result. Returns the reader's warnings
    // that the configuration did not have before. A reader error throws FatalExit and leaves the
    // configuration as it was.
    std::vector<std::string> edit(const std::vector<Edit>& edits);
    // A reader's message about this configuration as the user is shown it: after an edit, without
    // the line number 1 of the one-line text.
    std::string located(const std::string& message) const;

private:
    ModuleConfig(std::string name, std::string text, std::vector<int> setFromPython, bool madeFromEdits);

    std::string name_, text_, readName_, readText_;
    std::vector<int> setFromPython_;  // the table ranks of the keywords edited, ascending
    bool fromEdits_;                  // made by fromEdits: every keyword set from Python
    std::unique_ptr<SimuParameters> params_;
};
