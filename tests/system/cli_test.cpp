// The command line where a bad-input case cannot show it (tests/system/badinput holds the rest): the
// version, a program started without even its name, and visual mode, which depends on the build.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string kRuns = std::string(NK_TESTS_DIR) + "/data";

ProgramResult run(const std::vector<std::string>& args) { return runProgram(NK_BINARY, "nkswarm", args, kRuns); }

TEST(CommandLineTest, VersionPrintsProgramVersion) {
    ProgramResult r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("nkswarm ", 0), 0u);
}

TEST(CommandLineTest, VisualSwitchTakesPrecedenceOverActionCheck) {
    ProgramResult r = run({"small.cfg", "--visual-rect", "--print-action-probs", "0", "0", "0.5"});
#ifndef NK_HAVE_VISUAL
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Visual mode is not built"), std::string::npos);
#endif
    EXPECT_EQ(r.err.find("Not using NN strategy"), std::string::npos);
    // The check's words stay unused.
    EXPECT_NE(r.err.find("warning: ignored argument \"--print-action-probs\""), std::string::npos) << r.err;
}

TEST(CommandLineTest, NoArgumentsAtAllNotEvenTheProgramName) {
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

}  // namespace
