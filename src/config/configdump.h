// The effective configuration written back as a main configuration file.
#pragma once

#include <string>
#include <vector>

#include "params.h"

// Every keyword of the table in reading order with the value in effect, defaults included,
// then the blocks of the main and extra files as read: a main file that reads back to the
// same settings. Compared strategies are not included; they keep their own files.
// `header` is put first, as comment lines.
std::string configDump(const SimuParameters& params, const std::string& header);
// One line of that file: the keyword and the text of its values as written ("" for none).
struct DumpedSetting {
    std::string keyword;
    std::string values;
};
// The lines of configDump() after its header, in the same order; the labelled reports record
// the settings from these, so that they read exactly as the dump.
std::vector<DumpedSetting> dumpedSettings(const SimuParameters& params);
// The settings as SimuParameters::print() writes them: the listed keywords of the table in
// their places, then the landscape's sizes.
std::string parameterListing(const SimuParameters& p);
