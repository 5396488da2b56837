// The program in visual mode, end to end: with each visual switch it opens the window,
// animates a few steps, shows the landscape and exits 0 when the window closes; without a
// display, or with a terrain too large to draw, it refuses with a message and status 1.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "visual_test_support.h"

namespace {

const std::string kConfig = std::string(NK_TESTS_DIR) + "/data/visual.cfg";

// Restores an environment variable when the test ends.
struct EnvGuard {
    std::string name;
    bool had;
    std::string old;
    explicit EnvGuard(const char* n) : name(n), had(getenv(n) != nullptr), old(had ? getenv(n) : "") {}
    ~EnvGuard() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

// Runs the program with the test hook: K animated steps, a picture of the view, then close.
ProgramResult runAnimated(const std::vector<std::string>& args, const std::string& shot, int steps = 3) {
    EnvGuard g1("NK_VISUAL_TEST_STEPS"), g2("NK_VISUAL_TEST_SHOT");
    setenv("NK_VISUAL_TEST_STEPS", std::to_string(steps).c_str(), 1);
    setenv("NK_VISUAL_TEST_SHOT", shot.c_str(), 1);
    std::vector<std::string> all = {kConfig};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(NK_BINARY, "nkswarm", all, NK_TESTS_DIR, 120);
}

// A view of the landscape: a large area that is neither background nor one flat colour.
void expectLandscapePicture(const std::string& path, QRgb background) {
    QImage img(QString::fromStdString(path));
    ASSERT_FALSE(img.isNull()) << path;
    img = img.convertToFormat(QImage::Format_RGB32);
    int foreground = 0;
    std::vector<int> greys(256, 0);
    for (int y = 0; y < img.height(); y++)
        for (int x = 0; x < img.width(); x++) {
            const QRgb c = img.pixel(x, y);
            if (!vistest::near(c, qRed(background), qGreen(background), qBlue(background), 2)) foreground++;
            if (qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) greys[qRed(c)]++;
        }
    EXPECT_GT(foreground, img.width() * img.height() / 5) << path;
    int shades = 0;
    for (int n : greys)
        if (n > 20) shades++;
    EXPECT_GT(shades, 20) << path << ": fitness shows as many grey levels";
}

class VisualProgramTest : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        char tmpl[] = "/tmp/nkvisual-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
};

TEST_F(VisualProgramTest, TerrainWindowAnimatesShowsTheLandscapeAndClosesCleanly) {
    NK_REQUIRE_DISPLAY();
    const std::string shot = dir + "/terrain.png";
    ProgramResult r = runAnimated({"--visual-rect"}, shot);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    // The parameter dump, then the terrain's two lines of statistics.
    EXPECT_EQ(r.out.rfind("optionalInfo", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("startseed 11\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nGrid resolution: 32 x 32\nFitness min: "), std::string::npos) << r.out;
    expectLandscapePicture(shot, qRgb(230, 230, 230));
}

TEST_F(VisualProgramTest, SphericalWindowOpensWithEachFollowSwitchAndAStartPoint) {
    NK_REQUIRE_DISPLAY();
    const std::vector<std::vector<std::string>> variants = {{"--visual-spherical"},
                                                            {"--visual-spherical", "--follow"},
                                                            {"--visual-spherical", "--follow2"},
                                                            {"--visual-spherical", "--follow3", "4"},
                                                            {"--visual-spherical", "12345", "7"}};
    for (size_t i = 0; i < variants.size(); i++) {
        const std::string shot = dir + "/sphere" + std::to_string(i) + ".png";
        ProgramResult r = runAnimated(variants[i], shot);
        ASSERT_FALSE(r.timedOut) << i;
        EXPECT_EQ(r.status, 0) << i << ": " << r.err;
        // A start seed changes the run, not the dump.
        EXPECT_NE(r.out.find("startseed 11\n"), std::string::npos) << i;
        EXPECT_EQ(r.out.find("Grid resolution"), std::string::npos) << i;
        expectLandscapePicture(shot, qRgb(230, 230, 230));
    }
}

TEST_F(VisualProgramTest, WithoutADisplayVisualModeIsRefusedWithAMessage) {
    EnvGuard g1("DISPLAY"), g2("WAYLAND_DISPLAY");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const char* sw : {"--visual-rect", "--visual-spherical"}) {
        ProgramResult r = runProgram(NK_BINARY, "nkswarm", {kConfig, sw}, NK_TESTS_DIR, 60);
        EXPECT_EQ(r.status, 1) << sw;
        EXPECT_NE(r.err.find("ERROR at src/visual/visualdriver.cpp:"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Visual mode needs a display"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << sw;
    }
    // An X display that does not answer.
    setenv("DISPLAY", ":987", 1);
    ProgramResult r = runProgram(NK_BINARY, "nkswarm", {kConfig, "--visual-rect"}, NK_TESTS_DIR, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open the X display \":987\""), std::string::npos) << r.err;
}

TEST_F(VisualProgramTest, TheTerrainRefusesMoreThanTwentyTwoBitsBeforeAnyWindowOpens) {
    std::ifstream in(kConfig);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find("\nn 10\n"), 6, "\nn 23\n");
    const std::string cfg = dir + "/big.cfg";
    std::ofstream(cfg) << text;
    ProgramResult r = runProgram(NK_BINARY, "nkswarm", {cfg, "--visual-rect"}, dir, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("limited to N <= 22"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("N = 23"), std::string::npos) << r.err;
}

}  // namespace
