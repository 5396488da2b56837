// The command line: option positions, overrides, usage, and the program's exit statuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string kRuns = std::string(NK_TESTS_DIR) + "/runs";

ProgramResult run(const std::vector<std::string>& args) { return runProgram(NK_BINARY, "nkswarm", args, kRuns); }

int countLines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST(CommandLineTest, UsageWithoutArgumentsAndForHelp) {
    const std::string usage =
        "Usage: nkswarm <sim.cfg.file> [--extra-cfg <sim.cfg.file-extra>] [--visual-rect | --visual-spherical "
        "[--follow]]\n";
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--help"}, {"-h"}}) {
        ProgramResult r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, usage);
    }
}

TEST(CommandLineTest, VersionPrintsProgramVersion) {
    ProgramResult r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("nkswarm ", 0), 0u);
}

TEST(CommandLineTest, NumRunsOverridesConfiguredRuns) {
    ProgramResult r = run({"small.cfg", "--num-runs", "3", "--print-stats"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLines(r.out), 2 + 3);  // averages, deviations, one line per run
    ProgramResult zero = run({"small.cfg", "--num-runs", "0", "--print-stats"});
    EXPECT_EQ(countLines(zero.out), 2 + 2);  // 0 keeps the configured two runs
}

TEST(CommandLineTest, PrintStatsAsThirdWord) {
    ProgramResult r = run({"small.cfg", "--print-stats"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLines(r.out), 4);
    ProgramResult plain = run({"small.cfg"});
    EXPECT_EQ(countLines(plain.out), 1);
    // Group 0's average is the same with and without statistics when its best agent counts;
    // without statistics the other groups are not scored.
    EXPECT_EQ(r.out.substr(0, 9), plain.out.substr(0, 9));
    EXPECT_EQ(plain.out.substr(9), "0.000000 \n");
}

TEST(CommandLineTest, ExtraConfigAfterNumRunsNeedsBothWords) {
    ProgramResult r = run({"small.cfg", "--num-runs", "3", "--extra-cfg", "missing.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot open missing.cfg"), std::string::npos);
    // With only four words after the program name the extra file is not looked at.
    ProgramResult r2 = run({"small.cfg", "--num-runs", "3", "--extra-cfg"});
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(countLines(r2.out), 1);
}

TEST(CommandLineTest, CompareStrategiesConsumesFiveValues) {
    // "0" as the second compared file: only one compared file, and the last name is skipped.
    ProgramResult r = run({"small.cfg", "--extra-cfg", "extra.cfg", "--compare-strategies", "a", "compared.cfg", "c",
                           "0", "d", "--print-stats"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLines(r.out), 4);  // --print-stats is still found after the five values
    ProgramResult missing =
        run({"small.cfg", "--extra-cfg", "extra.cfg", "--compare-strategies", "a", "nofile.cfg", "c", "0", "d"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Cannot open nofile.cfg"), std::string::npos);
}

TEST(CommandLineTest, StepEvalsIsParsed) {
    ProgramResult r = run({"small.cfg", "--step-evals", "2.5"});
    ProgramResult plain = run({"small.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out, plain.out);  // agent 0 is held back by the budget
}

TEST(CommandLineTest, ActionProbabilityCheckNeedsThreeWords) {
    // Two ids only: not recognised, the batch runs.
    ProgramResult batch = run({"small.cfg", "--print-action-probs", "0", "0"});
    ProgramResult plain = run({"small.cfg"});
    EXPECT_EQ(batch.status, 0);
    EXPECT_EQ(batch.out, plain.out);
    // With a state value the check runs; a table strategy is reported, nothing else printed.
    ProgramResult check = run({"small.cfg", "--print-action-probs", "0", "0", "0.5"});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "");
    EXPECT_EQ(check.err, "Error: Not using NN strategy!\n");
}

TEST(CommandLineTest, VisualSwitchTakesPrecedenceOverActionCheck) {
    ProgramResult r = run({"small.cfg", "--visual-rect", "--print-action-probs", "0", "0", "0.5"});
#ifndef NK_HAVE_VISUAL
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Visual mode is not built"), std::string::npos);
#endif
    EXPECT_EQ(r.err.find("Not using NN strategy"), std::string::npos);
}

TEST(CommandLineTest, ConfigurationErrorComesBeforeVisualMode) {
    ProgramResult r = run({"nofile.cfg", "--visual-rect"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ERROR at ", 0), 0u);
    EXPECT_NE(r.err.find("Cannot open nofile.cfg\n"), std::string::npos);
}

TEST(CommandLineTest, ErrorLocationIsRelativeToTheRepository) {
    ProgramResult r = run({"nofile.cfg"});
    const std::string firstLine = r.err.substr(0, r.err.find('\n'));
    EXPECT_EQ(firstLine.rfind("ERROR at src/", 0), 0u) << firstLine;
    EXPECT_EQ(firstLine.find(NK_SOURCE_DIR), std::string::npos);
}

TEST(CommandLineTest, BatchRunsAreReproducible) {
    ProgramResult a = run({"small.cfg", "--print-stats"});
    ProgramResult b = run({"small.cfg", "--print-stats"});
    EXPECT_EQ(a.out, b.out);
    // The second run continues the streams: its per-run line differs from the first's.
    std::vector<std::string> lines;
    std::stringstream ss(a.out);
    for (std::string l; std::getline(ss, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[2], lines[3]);
}

}  // namespace

namespace {

TEST(CommandLineTest, MissingStrategyTableIsAConfigurationError) {
    ProgramResult r = run({"no_search_table.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Agent 0 has no search probability table (searchProbs)\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace

namespace {

TEST(CommandLineTest, KeywordOutOfOrderIsReportedNotMisread) {
    ProgramResult r = run({"misordered.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unexpected \"searchProbs\" in misordered.cfg: keywords must appear in the fixed order"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
