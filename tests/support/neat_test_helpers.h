// Helpers for the NEAT tests: a scratch directory, inline genome XML and a fresh
// parameter table per test.
#ifndef NEAT_TEST_HELPERS_H
#define NEAT_TEST_HELPERS_H

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "NEAT_GenomeError.h"
#include "NEAT_Globals.h"

namespace neattest {

inline std::string node(int id, const std::string& name, const std::string& type, int fn = -1,
                        const std::string& enabled = "1") {
    return "<Node ID=\"" + std::to_string(id) + "\" Enabled=\"" + enabled + "\" Name=\"" + name + "\" Type=\"" + type +
           "\" DrawingPosition=\"0.5\"" + (fn >= 0 ? " ActivationFunction=\"" + std::to_string(fn) + "\"" : "") +
           "/>\n";
}

inline std::string sensor(int id, const std::string& name) { return node(id, name, "NetworkSensor"); }

inline std::string link(int id, int from, int to, const std::string& weight, const std::string& enabled = "1") {
    return "<Link ID=\"" + std::to_string(id) + "\" Enabled=\"" + enabled + "\" fromNode=\"" + std::to_string(from) +
           "\" toNode=\"" + std::to_string(to) + "\" weight=\"" + weight + "\"/>\n";
}

inline std::string individual(const std::string& nodes, const std::string& links, const std::string& fitness = "1.0",
                              int species = 1) {
    return "<Individual Fitness=\"" + fitness + "\" SpeciesID=\"" + std::to_string(species) + "\">\n<Nodes>\n" + nodes +
           "</Nodes>\n<Links>\n" + links + "</Links>\n</Individual>\n";
}

inline std::string generation(const std::string& individuals, int number = 0) {
    return "<Generation GenNumber=\"" + std::to_string(number) + "\">\n" + individuals + "</Generation>\n";
}

inline std::string document(const std::string& generations) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Genetics>\n" + generations + "</Genetics>\n";
}

// A small valid individual: Bias, INPUT0, one hidden node and OUTPUT0.
inline std::string smallIndividual(const std::string& fitness = "1.0", int species = 1) {
    return individual(sensor(0, "Bias") + sensor(1, "INPUT0") + node(5, "H0", "NetworkNode", 6) +
                          node(9, "OUTPUT0", "NetworkOutputNode"),
                      link(20, 1, 5, "0.5") + link(21, 5, 9, "1.0") + link(22, 0, 9, "-0.25"), fitness, species);
}

// Each test gets an empty scratch directory and a fresh parameter table; both are
// removed afterwards so that tests do not see each other's counters.
class NeatTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "neat_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }

    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text, bool gzip = false) const {
        const std::string path = (dir / name).string();
        if (!gzip) {
            std::ofstream(path, std::ios::binary) << text;
            return path;
        }
        gzFile file = gzopen(path.c_str(), "wb");
        EXPECT_EQ(gzwrite(file, text.data(), (unsigned)text.size()), (int)text.size());
        EXPECT_EQ(gzclose(file), Z_OK);
        return path;
    }

    std::filesystem::path dir;
    NEAT::Globals globals;
};

// Runs f, which must throw a GenomeError, and returns what it threw; the library writes
// nothing itself (the configuration reader reports what it catches).
struct Failure {
    std::string thrown;
    NEAT::GenomeFault fault = NEAT::GenomeFault::Unreadable;
};

template <typename F>
Failure failureOf(F f) {
    Failure result;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    bool threw = false;
    try {
        f();
    } catch (const NEAT::GenomeError& e) {
        threw = true;
        result.thrown = e.what();
        result.fault = e.fault;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(threw) << "expected a GenomeError";
    return result;
}

}  // namespace neattest

#endif
