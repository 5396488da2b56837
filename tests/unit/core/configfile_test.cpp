// Configuration files read word by word: comments, keyword requests and the number conversions.
#include "configfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

ConfigFile fileWith(const std::string& text) {
    const std::string path = testing::TempDir() + "nkcf_" + std::to_string(getpid()) + ".cfg";
    std::ofstream(path) << text;
    ConfigFile file;
    std::string why;
    EXPECT_TRUE(file.load(path, &why)) << why;
    std::remove(path.c_str());
    return file;
}

TEST(ConfigFileTest, KeywordRequestsLookOnlyAtTheNextWordAfterComments) {
    // A lone "#" comment ends at its own line feed; "#n 5" is a comment, not the keyword n.
    ConfigFile f = fileWith("# comment\n#\n#n 5\nNAGENTS 8 # note\nnAgentsX 3\nk\n# only comments\n# remain");
    EXPECT_FALSE(f.matchKeyword("n"));
    EXPECT_FALSE(f.matchKeyword("k"));
    // Whole words, compared ignoring case; the file stays before the value, on the keyword's line.
    EXPECT_TRUE(f.matchKeyword("nAgents"));
    EXPECT_EQ(f.lastKeywordLine(), 4);
    EXPECT_EQ(f.peek().text, "8");
    f.consume(1);
    EXPECT_FALSE(f.matchKeyword("nAgents"));
    EXPECT_TRUE(f.matchKeyword("nAgentsX"));
    f.consume(1);
    EXPECT_TRUE(f.matchKeyword("K"));
    // Only comments left: no keyword, and the end of the file on the last line.
    EXPECT_FALSE(f.matchKeyword("n"));
    const Word end = f.peek();
    EXPECT_TRUE(end.atEnd);
    EXPECT_EQ(end.line, 8);

    std::string why;
    EXPECT_FALSE(ConfigFile().load(std::string(NK_TESTS_DIR) + "/no-such-file.cfg", &why));
    EXPECT_EQ(why, "No such file or directory");
}

TEST(ConfigFileTest, ConversionsTakeWhatTheCFormatsTakeButOnlyCompleteNumbersPass) {
    // word, characters "%d" takes, characters "%lf" takes, complete whole number, complete real
    const struct {
        const char* word;
        size_t whole, real;
        bool isWhole, isReal;
    } cases[] = {
        {"300", 3, 3, true, true},
        {"-300", 4, 4, true, true},
        {"+7", 2, 2, true, true},
        {"3e2", 1, 3, false, true},
        {"300.5", 3, 5, false, true},
        {"0,95", 1, 1, false, false},
        {"ten", 0, 0, false, false},
        {"nan", 0, 3, false, false},
        {"inf", 0, 3, false, false},
        {"0x10", 1, 4, false, false},
        {".5", 0, 2, false, true},
        {"1e999", 1, 5, false, false},
        {"99999999999999999999", 20, 20, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(scanWhole(c.word).length, c.whole);
        EXPECT_EQ(scanReal(c.word).length, c.real);
        long double whole;
        double real;
        EXPECT_EQ(parseWhole(c.word, &whole), c.isWhole);
        EXPECT_EQ(parseReal(c.word, &real), c.isReal);
    }
    EXPECT_EQ(scanWhole("-300").value, -300);
    EXPECT_EQ(scanReal("300.5x").value, 300.5L);
}

}  // namespace
