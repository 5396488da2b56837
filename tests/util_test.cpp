// Tests of the configuration reading primitives and of the one fatal-error path.
#include "util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

namespace {

// A scratch file holding `text`, positioned at its start.
FILE* fileWith(const std::string& text) {
    FILE* fp = tmpfile();
    fputs(text.c_str(), fp);
    rewind(fp);
    return fp;
}

unsigned int readUnsigned(FILE* fp) {
    unsigned int v = 9999;
    EXPECT_EQ(fscanf(fp, "%u", &v), 1);
    return v;
}

struct Outcome {
    int status = -1;  // -1: returned normally
    bool result = false;
    std::string err;
};

// Runs `f` with fatal exits turned into exceptions, capturing standard error.
template <class F>
Outcome capture(F f) {
    Outcome o;
    setFatalExitThrows(true);
    testing::internal::CaptureStderr();
    try {
        o.result = f();
    } catch (const FatalExit& e) {
        o.status = e.status;
    }
    o.err = testing::internal::GetCapturedStderr();
    setFatalExitThrows(false);
    return o;
}

}  // namespace

TEST(ReadTillKeywordTest, LooksOnlyAtTheNextWordAfterComments) {
    // A lone "#" comment ends at its own line feed; "#n 5" is a comment, not the keyword n.
    const std::string comments = "# comment\n#\n#n 5\n";
    FILE* fp = fileWith(comments + "NAGENTS 8 # trailing note\nnAgentsX 3\nk 2\n# only comments\n# remain");
    // Another word: false, required or not, with the comments before it consumed.
    EXPECT_FALSE(read_till_keyword(fp, "n", false));
    EXPECT_EQ(ftell(fp), (long)comments.size());
    EXPECT_FALSE(read_till_keyword(fp, "k", true));
    // Whole words, compared ignoring case; the position is left before the value.
    EXPECT_TRUE(read_till_keyword(fp, "nAgents", true));
    EXPECT_EQ(readUnsigned(fp), 8u);
    EXPECT_FALSE(read_till_keyword(fp, "nAgents", false));
    EXPECT_TRUE(read_till_keyword(fp, "nAgentsX", true));
    EXPECT_EQ(readUnsigned(fp), 3u);
    EXPECT_TRUE(read_till_keyword(fp, "K", true));
    EXPECT_EQ(readUnsigned(fp), 2u);
    // Only comments left: false for an optional keyword, fatal for a required one.
    Outcome optional = capture([&] { return read_till_keyword(fp, "n", false); });
    EXPECT_EQ(optional.status, -1);
    EXPECT_FALSE(optional.result);
    EXPECT_EQ(optional.err, "");
    Outcome required = capture([&] { return read_till_keyword(fp, "searchseed", true); });
    EXPECT_EQ(required.status, 1);
    EXPECT_TRUE(std::regex_match(
        required.err, std::regex("ERROR at src/core/util\\.cpp:[0-9]+:\nCould not find keyword: searchseed\n")))
        << required.err;
    fclose(fp);
}

TEST(ReadWordTest, WordOfExactlyTheBufferLimitFitsAndOneMoreIsFatal) {
    char buf[1004];
    FILE* fp = fileWith(std::string(1003, 'a') + " " + std::string(1004, 'b'));
    EXPECT_TRUE(read_word(fp, buf, sizeof buf));
    EXPECT_EQ(strlen(buf), 1003u);
    Outcome o = capture([&] { return read_word(fp, buf, sizeof buf); });
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(":\nWord longer than 1003 characters: " + std::string(40, 'b') + "...\n"), std::string::npos)
        << o.err;
    fclose(fp);
}

TEST(OpenFileTest, MissingFileIsReportedOrFatalAsRequested) {
    const std::string missing = std::string(NK_TESTS_DIR) + "/configs/no-such-file.cfg";
    FILE* fp = reinterpret_cast<FILE*>(1);
    Outcome soft = capture([&] { return open_file(missing.c_str(), "r", &fp, false); });
    EXPECT_EQ(soft.status, -1);
    EXPECT_FALSE(soft.result);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(soft.err, "Cannot open " + missing + "\n");
    Outcome hard = capture([&] { return open_file(missing.c_str(), "r", &fp, true); });
    EXPECT_EQ(hard.status, 1);
    EXPECT_EQ(hard.err.substr(hard.err.find('\n') + 1), "Cannot open " + missing + "\n");

    EXPECT_TRUE(open_file((std::string(NK_TESTS_DIR) + "/configs/minimal.cfg").c_str(), "r", &fp, true));
    ASSERT_NE(fp, nullptr);
    fclose(fp);
}
