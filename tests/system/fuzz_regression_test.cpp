// Replays, without libFuzzer, the inputs that once crashed, hung or leaked in the fuzz
// harnesses (tests/system/fuzz_regression/) and the fuzzers' seed corpora, through the same
// code as the harnesses (fuzz/fuzz_inputs.h). In the sanitizer build any memory error,
// leak or undefined behaviour fails these tests.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_inputs.h"

namespace {

const std::string kTests = std::string(NK_TESTS_DIR) + "/system";

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int openFileCount() { return static_cast<int>(filesIn("/proc/self/fd").size()); }

std::string describe(const nkfuzz::Result& r) {
    switch (r.outcome) {
        case nkfuzz::OutcomeAccepted:
            return "accepted";
        case nkfuzz::OutcomeFatalExit:
            return "exit " + std::to_string(r.status);
        case nkfuzz::OutcomeLoadError:
            return "load error";
    }
    return "?";
}

class FuzzReplay : public ::testing::Test {
protected:
    void SetUp() override { nkfuzz::addStandardGenomes(ws, NK_SOURCE_DIR); }
    nkfuzz::Result config(const std::string& path) {
        std::vector<uint8_t> data = readBytes(path);
        return nkfuzz::runConfigInput(ws, data.data(), data.size());
    }
    nkfuzz::Result genome(const std::string& path) {
        std::vector<uint8_t> data = readBytes(path);
        return nkfuzz::runGenomeInput(ws, data.data(), data.size());
    }
    nkfuzz::Workspace ws;
};

TEST_F(FuzzReplay, InputsThatOnceFailedEndAsTheyShould) {
    // What each input did before it was fixed, and how it must end now.
    const std::map<std::string, std::string> known = {
        {"config/agent_key_overflow", "exit 1"},                // nAgents + agent index overflowed int
        {"config/nagents_int_min", "exit 1"},                   // nAgents - 1 overflowed int
        {"config/nagents_int_max_compared", "exit 1"},          // nAgents + 1 overflowed int
        {"config/nagents_huge_network", "exit 1"},              // checked 2e9 agents for a network: a hang
        {"config/nagents_huge_tables", "exit 1"},               // checked 2e9 agents for tables: a hang
        {"config/fatal_error_with_four_files_open", "exit 1"},  // leaked four file handles
        {"config/explore_range_nan", "exit 1"},                 // accepted; the run cast nan to int
        {"config/table_value_inf", "exit 1"},                   // accepted; probabilities became nan
        {"genome/ids_at_int_max", "accepted"},
        {"genome/nesting_deeper_than_parser_limit", "load error"},
        {"genome/self_link_gzip", "load error"},
        {"genome/activation_function_beyond_int", "load error"},
    };
    size_t seen = 0;
    for (const char* kind : {"config", "genome"}) {
        for (const std::string& name : filesIn(kTests + "/fuzz_regression/" + kind)) {
            const std::string key = std::string(kind) + "/" + name;
            const std::string path = kTests + "/fuzz_regression/" + key;
            const nkfuzz::Result r = key[0] == 'c' ? config(path) : genome(path);
            auto it = known.find(key);
            seen += it != known.end();
            if (it != known.end()) {
                EXPECT_EQ(describe(r), it->second) << key;
            } else if (key[0] == 'g') {
                EXPECT_NE(r.outcome, nkfuzz::OutcomeFatalExit) << key;
            }
        }
    }
    EXPECT_EQ(seen, known.size());
}

TEST_F(FuzzReplay, FatalErrorsLeaveNoFileOpen) {
    // In the harness a fatal error is an exception; every configuration file must still be closed.
    const std::string path = kTests + "/fuzz_regression/config/fatal_error_with_four_files_open";
    config(path);
    const int before = openFileCount();
    for (int i = 0; i < 200; i++) ASSERT_EQ(describe(config(path)), "exit 1");
    EXPECT_EQ(openFileCount(), before);
}

TEST_F(FuzzReplay, ConfigurationSeedsReadAsTheProgramReadsThem) {
    const std::string dir = kTests + "/fuzz_corpus/config/";
    std::vector<std::string> files = filesIn(dir);
    ASSERT_GE(files.size(), 40u);
    for (const std::string& name : files) {
        nkfuzz::Result r = config(dir + name);
        // Examples, test configurations and golden runs are valid; golden error cases are not.
        const bool valid = name.rfind("ex_", 0) == 0 || name.rfind("cfg_", 0) == 0 || name.rfind("golden_t", 0) == 0 ||
                           name == "runs_small" || name == "runs_with_extra";
        if (valid) {
            EXPECT_EQ(describe(r), "accepted") << name << " (after changing the examples, run fuzz/make_corpus.py)";
        } else if (name.rfind("golden_e", 0) == 0 && name != "golden_e11_cannot_open") {  // e11: a missing file
            EXPECT_EQ(r.outcome, nkfuzz::OutcomeFatalExit) << name;
        }
    }
    // Unusable networks end as the program ends for them: "error", status 0.
    EXPECT_EQ(describe(config(dir + "nn_cyclic")), "exit 0");
    EXPECT_EQ(describe(config(dir + "nn_index_out_of_range")), "exit 0");
}

TEST_F(FuzzReplay, GenomeSeedsReadPlainAndCompressed) {
    const std::string dir = kTests + "/fuzz_corpus/genome/";
    std::vector<std::string> files = filesIn(dir);
    ASSERT_GE(files.size(), 10u);
    for (const std::string& name : files) {
        nkfuzz::Result r = genome(dir + name);
        const bool broken = name.find("cyclic") != std::string::npos || name == "raw_gz_truncated" ||
                            name == "raw_gz_plain_text" || name == "gzip_of_garbage";
        EXPECT_EQ(describe(r), broken ? "load error" : "accepted") << name;
    }
}

}  // namespace
