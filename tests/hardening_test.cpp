// Bad inputs and abusive command lines end with a clear message and a defined exit
// status, never with a crash, a hang or undefined behaviour; valid but extreme
// configurations run to the end. The files are in tests/badinput/, and
// docs/bad-inputs.md lists every case with what the user sees.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string kBadInput = std::string(NK_TESTS_DIR) + "/badinput";

ProgramResult run(const std::vector<std::string>& args) {
    return runProgram(NK_BINARY, "nkswarm", args, kBadInput, 60);
}

// A fatal configuration error: "ERROR at <source location>:" on the first line of
// standard error, then exactly `message`; nothing on standard output; status 1.
void expectFatal(const std::vector<std::string>& args, const std::string& message, const std::string& out = "") {
    SCOPED_TRACE(args[0]);
    ProgramResult r = run(args);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1);
    const size_t eol = r.err.find('\n');
    ASSERT_NE(eol, std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("ERROR at src/", 0), 0u) << r.err;
    EXPECT_EQ(r.err.substr(eol + 1), message);
    EXPECT_EQ(r.out, out);
}

// A population file that cannot be used: the genome reader's message on standard
// error, "error" on standard output, status 0 (scripts look for the word).
void expectGenomeError(const std::string& cfg, const std::string& message, const std::string& outBefore = "") {
    SCOPED_TRACE(cfg);
    ProgramResult r = run({cfg});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(r.out, outBefore + "error");
}

// Lines of values printed as "%.6f " each, as the batch report prints them.
bool isReport(const std::string& text) {
    if (text.empty() || text.back() != '\n') return false;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::stringstream words(line);
        int count = 0;
        for (std::string w; std::getline(words, w, ' '); count++) {
            const size_t dot = w.find('.');
            const size_t start = w[0] == '-' ? 1 : 0;
            if (dot == std::string::npos || dot <= start || w.size() - dot - 1 != 6) return false;
            for (size_t i = start; i < w.size(); i++)
                if (i != dot && !isdigit(static_cast<unsigned char>(w[i]))) return false;
        }
        if (count == 0 || line.back() != ' ') return false;
    }
    return true;
}

// A normal end: status 0, nothing on standard error, the report.
void expectReport(const std::vector<std::string>& args) {
    SCOPED_TRACE(args[0]);
    ProgramResult r = run(args);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(isReport(r.out)) << r.out;
}

// --- configuration files --------------------------------------------------------------

TEST(BadConfigTest, MissingOrUnreadableFilesNameTheFile) {
    expectFatal({"nofile.cfg"}, "Cannot open nofile.cfg\n");
    expectFatal({"base.cfg", "--extra-cfg", "nofile.cfg"}, "Cannot open nofile.cfg\n");
    expectFatal({"base.cfg", "--extra-cfg", "base.cfg", "--compare-strategies", "a", "nofile.cfg", "b", "0", "c"},
                "Cannot open nofile.cfg\n");
    // A directory opens but yields no words (as root, permissions cannot make a file unreadable).
    expectFatal({"."}, "Could not find keyword: n\n");
}

TEST(BadConfigTest, EmptyAndTruncatedFilesNameTheMissingKeyword) {
    expectFatal({"empty.cfg"}, "Could not find keyword: n\n");
    expectFatal({"only_comments.cfg"}, "Could not find keyword: n\n");
    expectFatal({"truncated_before_flags.cfg"}, "Could not find keyword: varylandscape\n");
    // The last explore value is missing: the range keeps its default high end, 0.
    expectFatal({"truncated_mid_values.cfg"}, "range [1.000000..0.000000] won't work\n\n");
}

TEST(BadConfigTest, KeywordsOutOfOrderLeaveTheValueUnread) {
    expectFatal({"wrong_order_k_before_n.cfg"}, "n=0 or k=2 out of bounds\n\n");
}

TEST(BadConfigTest, OutOfRangeNumbersAreRejected) {
    expectFatal({"n_32.cfg"}, "n=32 or k=2 out of bounds\n\n");
    expectFatal({"k_equals_n.cfg"}, "n=10 or k=10 out of bounds\n\n");
    expectFatal({"nfitnessgroups_11.cfg"}, "Max value for nFitnessGroups is 10\n");
    expectFatal({"fitness_group_outside.cfg"}, "Fitness group 0 (agents 0..4) reaches outside agents 0..3\n\n");
    expectFatal({"explore_range_above_1.cfg"}, "range [5.000000..15.000000] won't work\n\n");
    expectFatal({"flag_2.cfg"}, "\n", "rememberChecked=2 incorrect\n");
}

TEST(BadConfigTest, HugeNumbersAreRejectedBeforeTheRunStarts) {
    expectFatal({"nagents_huge.cfg"}, "nAgents=2000000000 is outside 0..1000000\n\n");
    expectFatal({"nagents_negative.cfg"}, "nAgents=-5 is outside 0..1000000\n\n");
    // Capped by maxMemSize (unbounded: 2147483647) for each of 4 agents, plus the public memory.
    expectFatal({"initialmem_huge.cfg"},
                "The initial memories would hold 8589934589 points, above the limit of 10000000 (initialMemSize="
                "3000000000 for each of 4 agents, initialPublicMemSize=1, initialGroupsMemSize=1)\n\n");
    expectFatal({"nruns_huge.cfg"}, "nRuns=10000000 is above the limit of 1000000\n\n");
    expectFatal({"explore_attempts_huge.cfg"}, "explore attempts=4000000000 is above the limit of 1000000\n\n");
    expectFatal({"tree_depth_huge.cfg"}, "maxExploitTreeDepth=1000000 is above the limit of 1000\n\n");
    expectFatal({"radius_huge.cfg"}, "flockingRadius=2147483647 is outside -1000000..1000000\n\n");
    expectFatal({"quantization_huge.cfg"}, "fitnessQuantizationLevels=2000000000 is above the limit of 1000000\n\n");
    expectFatal({"stretch_huge.cfg"}, "fitnessStretchCoef=1e+300 is outside -1000..1000\n\n");
    expectFatal({"base.cfg", "--num-runs", "2000000"}, "nRuns=2000000 is above the limit of 1000000\n\n");
    // The count is believed only as far as the file holds agent indices.
    expectFatal({"agent_list_count_huge.cfg"}, "Invalid strategy agent_list_count_huge.cfg\n\n");
    expectFatal({"base.cfg", "--extra-cfg", "base.cfg", "--compare-strategies", "a", "compared_agent_index_huge.cfg",
                 "b", "0", "c"},
                "Agent index 2147483647 is out of range\n\n");
}

TEST(BadConfigTest, NonNumbersAreRejected) {
    // The failed conversion leaves n at 0 and the word "ten" in front of the request for k.
    expectFatal({"n_word.cfg"}, "n=0 or k=0 out of bounds\n\n");
    expectFatal({"flag_word.cfg"}, "\n", "rememberChecked=-1 incorrect\n");
    expectFatal({"table_word.cfg"}, "Invalid strategy table_word.cfg\n\n");
    // "%lf" reads nan and inf; no setting may hold them.
    expectFatal({"table_inf.cfg"}, "Invalid strategy table_inf.cfg\n\n");
    expectFatal({"explore_range_nan.cfg"}, "range [nan..nan] won't work\n\n");
    expectFatal({"intensity_nan.cfg"}, "flockingIntensity=nan is not a finite number\n\n");
}

TEST(BadConfigTest, OverlongWordsAndBinaryGarbageAreRejected) {
    expectFatal({"overlong_word.cfg"}, "Word longer than 1003 characters: " + std::string(40, 'x') + "...\n");
    expectFatal({"binary_garbage.cfg"}, "n=0 or k=0 out of bounds\n\n");
    // A NUL byte is part of a word: "n\0" is not the keyword n.
    expectFatal({"nul_bytes.cfg"}, "n=0 or k=2 out of bounds\n\n");
}

TEST(BadConfigTest, UnfinishedBlocksEndTheReading) {
    expectFatal({"agentparams_unterminated.cfg"},
                "End of file inside an agent parameter block: agentParamsEnd missing\n\n");
    expectFatal({"agentparams_unknown_word.cfg"},
                "Unexpected exploit in an agent parameter block: expected useAllExploitAttempts, maxExploitTreeDepth "
                "or agentParamsEnd\n\n");
    expectFatal(
        {"base.cfg", "--extra-cfg", "base.cfg", "--compare-strategies", "a", "compared_without_s1.cfg", "b", "0", "c"},
        "S1 strategy missing!\n");
}

TEST(BadConfigTest, EvaluationBudgetsThatCouldNeverBeSpentAreRejected) {
    expectFatal({"evals_never_reached.cfg"},
                "maxTotalEvals=100 may never be reached: explore with 0 attempts evaluates nothing when "
                "alwaysUseUpToDateFitness and alwaysUpdateSourceMem are 0\n\n");
    expectFatal({"limited_evals_empty_group.cfg"},
                "maxTotalEvals=100 with limitedEvals 1 needs agents in every fitness group; group 1 is empty\n\n");
}

// --- genome population files ------------------------------------------------------------

TEST(BadGenomeTest, UnreadableFilesAreLoadErrors) {
    expectGenomeError("nn_missing.cfg", "Error trying to load the XML file!\n");
    expectGenomeError("nn_directory.cfg", "Error trying to load the XML file!\n");
    expectGenomeError("nn_truncated.cfg", "Error trying to load the XML file!\n");
    expectGenomeError("nn_binary.cfg", "Error trying to load the XML file!\n");
    // Reading stops at the bound instead of taking all memory.
    expectGenomeError("nn_dev_zero.cfg", "Genome file /dev/zero holds more than 256 MiB of XML!\n");
}

TEST(BadGenomeTest, MalformedGzipIsALoadError) {
    expectGenomeError("nn_gz_truncated.cfg", "Error trying to load the XML file!\n");
    expectGenomeError("nn_gz_not_gzip.cfg", "Error trying to load the XML file!\n");
    expectReport({"nn_gz_ok.cfg"});
    // The compressed and the plain file are the same population.
    EXPECT_EQ(run({"nn_gz_ok.cfg"}).out, run({"nn_ok.cfg"}).out);
}

TEST(BadGenomeTest, BrokenNetworksAreRejected) {
    expectGenomeError("nn_cycle.cfg", "The network has a cycle, so its depth is unbounded!\n");
    expectGenomeError("nn_dangling_link.cfg",
                      "Genome file: link 4 on line 20 names node 99, which its individual "
                      "lacks!\n");
    expectGenomeError("nn_duplicate_node.cfg", "Oops, tried to add a node when it already existed!\n");
    expectGenomeError("nn_duplicate_link.cfg", "Oops, tried to add a link when it already existed!\n");
    expectGenomeError("nn_bad_activation.cfg",
                      "Genome file: node 7 on line 14 has activation function 12, outside 0 to 8!\n");
}

TEST(BadGenomeTest, IncompleteDocumentsAreRejected) {
    expectGenomeError("nn_empty_generation.cfg", "Genome file: generation on line 4 has no individual!\n");
    expectGenomeError("nn_no_generation.cfg", "Genome file: no \"Generation\" element under the root!\n");
    expectGenomeError("nn_no_links.cfg",
                      "Genome file: individual on line 5 has no \"Links\" element with at least one link!\n");
    expectGenomeError("nn_missing_attribute.cfg",
                      "Genome file: element \"Link\" on line 19 lacks the attribute \"weight\"!\n");
    // The message goes to standard output, before the word "error".
    ProgramResult r = run({"nn_index_out_of_range.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\nerror");
    EXPECT_EQ(r.err, "");
}

// --- the command line -----------------------------------------------------------------

TEST(CommandLineAbuseTest, MissingValuesAfterSwitchesAreIgnored) {
    const std::string plain = run({"base.cfg"}).out;
    for (const auto& args : std::vector<std::vector<std::string>>{{"base.cfg", "--num-runs"},
                                                                  {"base.cfg", "--extra-cfg"},
                                                                  {"base.cfg", "--step-evals"},
                                                                  {"base.cfg", "--print-stats", "--step-evals"},
                                                                  {"base.cfg", "--compare-strategies", "a", "b"},
                                                                  {"base.cfg", "--print-action-probs", "0", "0"}}) {
        ProgramResult r = run(args);
        EXPECT_EQ(r.status, 0) << args.back() << r.err;
        EXPECT_EQ(r.out, args[1] == "--print-stats" ? run({"base.cfg", "--print-stats"}).out : plain) << args.back();
    }
}

TEST(CommandLineAbuseTest, NumbersThatDoNotConvertLeaveTheDefaults) {
    const std::string plain = run({"base.cfg"}).out;
    // The configured single run: "abc" and "-3" change nothing, nor does a value beyond int.
    for (const char* n : {"abc", "-3", "99999999999", ""}) {
        ProgramResult r = run({"base.cfg", "--num-runs", n, "--print-stats"});
        EXPECT_EQ(r.status, 0) << n;
        EXPECT_EQ(r.out, run({"base.cfg", "--print-stats"}).out) << n;
    }
    // Budgets that are not finite numbers are no budget; a huge one never holds agent 0 back.
    for (const char* x : {"inf", "nan", "-1", "x", "1e308", "1e999"}) {
        ProgramResult r = run({"base.cfg", "--step-evals", x});
        EXPECT_EQ(r.status, 0) << x << r.err;
        EXPECT_EQ(r.out, plain) << x;
    }
}

TEST(CommandLineAbuseTest, ActionCheckRejectsBadIds) {
    // Ids that do not convert stay -1.
    for (const auto& id : std::vector<std::string>{"4", "-1", "x", "99999999999"}) {
        const std::string shown = id == "4" ? "4" : "-1";
        expectFatal({"nn_ok.cfg", "--print-action-probs", id, "0", "0.5", "0.5"},
                    "Agent id " + shown + " out of range: the configuration has agents 0 to 3\n");
    }
    ProgramResult r = run({"nn_ok.cfg", "--print-action-probs", "0", "2", "0.5", "0.5"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: Wrong output id!\n");
    // The state values end at the first that is not a finite number.
    ProgramResult few = run({"nn_ok.cfg", "--print-action-probs", "0", "0", "0.5", "inf", "0.5"});
    EXPECT_EQ(few.status, 0);
    EXPECT_EQ(few.out, "");
    EXPECT_EQ(few.err, "Error: Too few inputs!\n");
}

TEST(CommandLineAbuseTest, NoArgumentsAtAllNotEvenTheProgramName) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        char* const argv[] = {nullptr};
        char* const envp[] = {nullptr};
        execve(NK_BINARY, argv, envp);
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t got; (got = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(got));
    close(out[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0);
    // Linux hands such a program an empty name instead; either way the usage is printed.
    EXPECT_TRUE(text.rfind("Usage: nkswarm <sim.cfg.file>", 0) == 0 || text.rfind("Usage:  <sim.cfg.file>", 0) == 0)
        << text;
}

// --- valid but extreme configurations -----------------------------------------------------

TEST(ExtremeConfigTest, SmallestAndLargestLandscapesRun) {
    expectReport({"extreme_n1.cfg"});
    expectReport({"extreme_n31.cfg"});
    expectReport({"extreme_k_n_minus_1.cfg"});
}

TEST(ExtremeConfigTest, DegenerateAgentsMemoriesAndGroupsRun) {
    expectReport({"extreme_no_agents.cfg"});
    expectReport({"extreme_one_group_crowding.cfg"});
    expectReport({"extreme_one_step.cfg", "--print-stats"});
    expectReport({"extreme_ten_groups_budget.cfg", "--print-stats"});
}

TEST(ExtremeConfigTest, LargestNumericSettingsRun) {
    expectReport({"extreme_stretch_quantize.cfg"});
    expectReport({"extreme_stretch_quantize.cfg", "--step-evals", "1e308"});
}

TEST(ExtremeConfigTest, NetworksWithoutInputsOrSecondOutputRun) {
    expectReport({"extreme_nn_missing_nodes.cfg"});
    // Agent 0's OUTPUT1 hears only the bias, so both place actions get the same output.
    ProgramResult r = run({"extreme_nn_missing_nodes.cfg", "--print-action-probs", "0", "1", "0.5", "-0.5", "1e300"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 0.500000\n1 0.500000\n");
}

}  // namespace
