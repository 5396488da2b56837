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

TEST(ReadTillKeywordTest, CommentLineThenKeywordLeavesPositionBeforeValue) {
    FILE* fp = fileWith("# a comment line\nn 10\n");
    EXPECT_TRUE(read_till_keyword(fp, "n", true));
    EXPECT_EQ(readUnsigned(fp), 10u);
    fclose(fp);
}

TEST(ReadTillKeywordTest, OtherWordStaysForTheNextRequestEvenWhenRequired) {
    FILE* fp = fileWith("n 10\n");
    EXPECT_FALSE(read_till_keyword(fp, "k", false));
    EXPECT_FALSE(read_till_keyword(fp, "k", true));
    EXPECT_TRUE(read_till_keyword(fp, "n", true));
    EXPECT_EQ(readUnsigned(fp), 10u);
    fclose(fp);
}

TEST(ReadTillKeywordTest, UnmatchedWordLeavesCommentsBeforeItConsumed) {
    const char* comments = "# one\n#two words\n";
    FILE* fp = fileWith(std::string(comments) + "k 2\n");
    EXPECT_FALSE(read_till_keyword(fp, "n", false));
    EXPECT_EQ(ftell(fp), static_cast<long>(strlen(comments)));
    fclose(fp);
}

TEST(ReadTillKeywordTest, WordStartingWithHashIsACommentNotTheKeyword) {
    FILE* fp = fileWith("#n 5\nn 7 # trailing note\nk 2");
    EXPECT_TRUE(read_till_keyword(fp, "n", true));
    EXPECT_EQ(readUnsigned(fp), 7u);
    // A comment may follow the values, where the next keyword is expected.
    EXPECT_TRUE(read_till_keyword(fp, "k", true));
    EXPECT_EQ(readUnsigned(fp), 2u);
    fclose(fp);
}

TEST(ReadTillKeywordTest, ComparesWholeWordsIgnoringCase) {
    FILE* fp = fileWith("NAGENTS 8\nnAgentsX 3\n");
    EXPECT_FALSE(read_till_keyword(fp, "n", false));
    EXPECT_TRUE(read_till_keyword(fp, "nAgents", true));
    EXPECT_EQ(readUnsigned(fp), 8u);
    EXPECT_FALSE(read_till_keyword(fp, "nAgents", false));
    fclose(fp);
}

TEST(ReadTillKeywordTest, EndOfFileIsFatalOnlyForARequiredKeyword) {
    FILE* fp = fileWith("k 2\n# only comments\n# remain");
    EXPECT_TRUE(read_till_keyword(fp, "k", true));
    EXPECT_EQ(readUnsigned(fp), 2u);
    Outcome optional = capture([&] { return read_till_keyword(fp, "n", false); });
    EXPECT_EQ(optional.status, -1);
    EXPECT_FALSE(optional.result);
    EXPECT_EQ(optional.err, "");

    Outcome required = capture([&] { return read_till_keyword(fp, "searchseed", true); });
    EXPECT_EQ(required.status, 1);
    EXPECT_TRUE(std::regex_match(required.err,
                                 std::regex("ERROR at src/util\\.cpp:[0-9]+:\nCould not find keyword: searchseed\n")))
        << required.err;
    fclose(fp);
}

TEST(ReadWordTest, ReadsOneWordAndLeavesTheSeparator) {
    FILE* fp = fileWith("  alpha\tbeta\n");
    char buf[16];
    EXPECT_TRUE(read_word(fp, buf, sizeof buf));
    EXPECT_STREQ(buf, "alpha");
    EXPECT_EQ(getc(fp), '\t');
    EXPECT_TRUE(read_word(fp, buf, sizeof buf));
    EXPECT_STREQ(buf, "beta");
    EXPECT_FALSE(read_word(fp, buf, sizeof buf));
    fclose(fp);
}

TEST(ReadWordTest, WordOfExactlyTheBufferLimitFitsAndOneMoreIsFatal) {
    char buf[1004];
    FILE* fp = fileWith(std::string(1003, 'a') + " " + std::string(1004, 'b'));
    EXPECT_TRUE(read_word(fp, buf, sizeof buf));
    EXPECT_EQ(strlen(buf), 1003u);
    Outcome o = capture([&] { return read_word(fp, buf, sizeof buf); });
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("\nWord longer than 1003 characters: " + std::string(40, 'b') + "...\n"), std::string::npos)
        << o.err;
    fclose(fp);
}

TEST(ReadWordTest, OverlongWordWhereAKeywordIsExpectedIsFatal) {
    FILE* fp = fileWith(std::string(5000, 'x') + " 1\n");
    Outcome o = capture([&] { return read_till_keyword(fp, "n", false); });
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Word longer than 1003 characters"), std::string::npos) << o.err;
    fclose(fp);
}

TEST(FglTest, SkipsTheRestOfTheLineWithItsLineFeed) {
    FILE* fp = fileWith("rest of line\nnext");
    fgl(fp);
    EXPECT_EQ(getc(fp), 'n');
    fgl(fp);  // no line feed before the end of the file
    EXPECT_EQ(getc(fp), EOF);
    fclose(fp);
}

TEST(OpenFileTest, MissingFileIsReportedOrFatal) {
    const std::string missing = std::string(NK_TESTS_DIR) + "/configs/no-such-file.cfg";
    FILE* fp = reinterpret_cast<FILE*>(1);
    Outcome soft = capture([&] { return open_file(missing.c_str(), "r", &fp, false); });
    EXPECT_EQ(soft.status, -1);
    EXPECT_FALSE(soft.result);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(soft.err, "Cannot open " + missing + "\n");

    Outcome hard = capture([&] { return open_file(missing.c_str(), "r", &fp, true); });
    EXPECT_EQ(hard.status, 1);
    EXPECT_TRUE(std::regex_match(hard.err, std::regex("ERROR at src/util\\.cpp:[0-9]+:\n[\\s\\S]*"))) << hard.err;
    EXPECT_EQ(hard.err.substr(hard.err.find('\n') + 1), "Cannot open " + missing + "\n");

    Outcome ok = capture(
        [&] { return open_file((std::string(NK_TESTS_DIR) + "/configs/minimal.cfg").c_str(), "r", &fp, true); });
    EXPECT_TRUE(ok.result);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
}

TEST(FatalErrorTest, MessageNamesTheCallersSourceLocation) {
    Outcome o = capture([] {
        NK_FATAL("value %d\n", 42);
        return true;
    });
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(std::regex_match(o.err, std::regex("ERROR at tests/util_test\\.cpp:[0-9]+:\nvalue 42\n"))) << o.err;
}

TEST(FatalErrorDeathTest, ExitsWithStatusOneOrTheGivenStatus) {
    setFatalExitThrows(false);
    EXPECT_EXIT(NK_FATAL("bad %s\n", "input"), testing::ExitedWithCode(1),
                "ERROR at tests/util_test\\.cpp:[0-9]+:\nbad input");
    EXPECT_EXIT(fatalExit(0), testing::ExitedWithCode(0), "");
}

}  // namespace
