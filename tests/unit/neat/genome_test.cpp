// Reading genome population files: structure, lenient attribute parsing, generations, gzip
// and the required attributes (the other load errors are cases of tests/system/badinput/cases.txt).
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <tuple>

#include "NEAT_GeneticPopulation.h"
#include "NEAT_Globals.h"
#include "neat_test_helpers.h"

using namespace NEAT;
using namespace neattest;

namespace {

const std::string OUT_OF_RANGE = "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n";

// Everything a reader could get wrong about a population, as text.
std::string describe(const GeneticPopulation& pop) {
    std::string s;
    for (int g = 0; g < pop.getGenerationCount(); ++g) {
        s += "G" + std::to_string(pop.getGeneration(g).getGenerationNumber()) + "\n";
        for (int i = 0; i < pop.getGeneration(g).getIndividualCount(); ++i) {
            const GeneticIndividual& ind = *pop.getGeneration(g).getIndividual(i);
            s += std::to_string(ind.getFitness()) + "/" + std::to_string(ind.getSpeciesID()) + ":";
            for (const GeneticNodeGene& n : ind.getNodes())
                s += " N" + std::to_string(n.getID()) + (n.isEnabled() ? "+" : "-") + n.getName() + "," + n.getType() +
                     "," + std::to_string(n.getActivationFunction()) + "," + std::to_string(n.getDrawingPosition());
            for (const GeneticLinkGene& l : ind.getLinks())
                s += " L" + std::to_string(l.getID()) + (l.isEnabled() ? "+" : "-") +
                     std::to_string(l.getFromNodeID()) + ">" + std::to_string(l.getToNodeID()) + "*" +
                     std::to_string(l.getWeight());
            s += "\n";
        }
    }
    return s;
}

class GenomeTest : public NeatTest {
protected:
    // Loads text as a population file, expecting a load error; returns what was thrown.
    std::string loadError(const std::string& text) {
        const std::string path = write("bad.xml", text);
        return failureOf([&] { GeneticPopulation pop(path, globals); }).thrown;
    }
};

}  // namespace

TEST_F(GenomeTest, ParameterTableOverwritesAndReadsNoFile) {
    globals.setParameterValue("UseActGaussian", 0.25);
    globals.setParameterValue("UseActGaussian", 1.0);  // overwrites
    globals.addParameter("Other", 2.0);
    globals.addParameter("Other", 3.0);
    EXPECT_EQ(globals.getParameters(), (std::map<std::string, double>{{"Other", 3.0}, {"UseActGaussian", 1.0}}));
    EXPECT_EQ(failureOf([] { Globals g("params.dat"); }).thrown,
              "Reading NEAT parameter files is not supported: params.dat");
}

TEST_F(GenomeTest, ReadsEveryAttributeAsANumberFromTheStartOfItsText) {
    const std::string ind =
        "<Individual Fitness=\"2.5 points\" SpeciesID=\"-4\" UserData=\"x\">\n<Nodes>\n"
        "<Node ID=\"2\" Enabled=\"0\" Name=\"OUTPUT0\" Type=\"NetworkOutputNode\" ActivationFunction=\"8\"/>\n"
        "<Node ID=\"1\" Enabled=\"1\" Name=\"INPUT0\" Type=\"NetworkSensor\" DrawingPosition=\"0.25\"/>\n"
        "</Nodes>\n<Links>\n" +
        link(6, 1, 2, "abc") +
        "<Link ID=\"5\" Enabled=\"+1\" fromNode=\" 1xyz\" toNode=\"2.9\" weight=\" 1.5e1abc\"/>\n" +
        link(4, 1, 2, "-1.75", "0") + "</Links>\n</Individual>\n";
    GeneticPopulation pop(write("p.xml", document("<Generation GenNumber=\"17\">" + ind + "</Generation>" +
                                                  "<Generation GenNumber=\"none\">" + ind + "</Generation>")),
                          globals);
    // Genes end up in ascending ID order; a missing ActivationFunction is 0 (Sigmoid).
    const std::string expected =
        "2.500000/-4: N1+INPUT0,NetworkSensor,0,0.250000 N2-OUTPUT0,NetworkOutputNode,8,0.000000 "
        "L4-1>2*-1.750000 L5+1>2*15.000000 L6+1>2*0.000000\n";
    EXPECT_EQ(describe(pop), "G17\n" + expected + "G0\n" + expected);
}

TEST_F(GenomeTest, OnlyTheIntegerOneEnables) {
    const std::pair<const char*, bool> cases[] = {{"1", true},   {" 1", true},  {"\t 1", true},  {"01", true},
                                                  {"0", false},  {"2", false},  {"true", false}, {"", false},
                                                  {"-1", false}, {"1.0", true}, {"11", false}};
    std::string nodes;
    for (int i = 0; i < 11; ++i) nodes += node(i, "N" + std::to_string(i), "NetworkSensor", -1, cases[i].first);
    GeneticPopulation pop(write("p.xml", document(generation(individual(nodes, link(1, 0, 1, "1"))))), globals);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(pop.getIndividual(0)->getNode(i).isEnabled(), cases[i].second) << cases[i].first;
}

TEST_F(GenomeTest, SkipsOtherRootChildrenAndLaterNodeAndLinkLists) {
    const std::string ind = "<Genome Fitness=\"1\" SpeciesID=\"1\"><Nodes>" + sensor(1, "INPUT0") +
                            node(2, "OUTPUT0", "NetworkOutputNode") + "</Nodes><Nodes>" + sensor(1, "DUPLICATE") +
                            sensor(50, "EXTRA") + "</Nodes><Links>" + link(1, 1, 2, "1") + "</Links><Links>" +
                            link(1, 1, 2, "9") + "</Links></Genome>";
    GeneticPopulation pop(
        write("p.xml", document("<Comment>not a generation</Comment>\n<generation GenNumber=\"1\"/>\n" +
                                generation(ind) + "<Note/>\n")),
        globals);
    EXPECT_EQ(describe(pop),
              "G0\n1.000000/1: N1+INPUT0,NetworkSensor,0,0.500000 "
              "N2+OUTPUT0,NetworkOutputNode,0,0.500000 L1+1>2*1.000000\n");
}

TEST_F(GenomeTest, LastGenerationIsCurrentWhateverItsNumberAndIndicesOutsideAreReported) {
    GeneticPopulation pop(
        write("p.xml", document(generation(smallIndividual("1"), 9) +
                                generation(smallIndividual("2") + smallIndividual("3"), 3) +
                                generation(smallIndividual("4") + smallIndividual("5") + smallIndividual("6"), 0))),
        globals);
    EXPECT_EQ(pop.getCurrentGeneration(), 2);
    EXPECT_EQ(pop.getIndividualCount(), 3);
    EXPECT_EQ(pop.getIndividual(0)->getFitness(), 4.0);
    EXPECT_EQ(pop.getIndividual(2)->getFitness(), 6.0);
    EXPECT_EQ(pop.getIndividual(1, 1)->getFitness(), 3.0);
    EXPECT_EQ(pop.getIndividual(0, 0)->getFitness(), 1.0);
    const std::pair<unsigned, int> outside[] = {{3, -1}, {1, 0}, {0, 3}, {0, -2}, {4000000000u, -1}};
    for (auto [index, gen] : outside) EXPECT_EQ(failureOf([&] { pop.getIndividual(index, gen); }).thrown, OUT_OF_RANGE);
}

TEST_F(GenomeTest, GzipReadsLikePlainAndANameThatIsOnlyDotGzIsPlain) {
    const std::string text = document(generation(smallIndividual("1.5", 2)) + generation(smallIndividual("7", 3), 4));
    GeneticPopulation plain(write("pop.xml", text), globals);
    GeneticPopulation packed(write("pop.xml.gz", text, true), globals);
    EXPECT_EQ(describe(packed), describe(plain));
    EXPECT_EQ(packed.getIndividual(0)->getFitness(), 7.0);

    write(".gz", text);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::unique_ptr<GeneticPopulation> pop;
    try {
        pop = std::make_unique<GeneticPopulation>(".gz", globals);
    } catch (const NEAT::GenomeError&) {
    }
    std::filesystem::current_path(previous);
    ASSERT_TRUE(pop);
    EXPECT_EQ(describe(*pop), describe(plain));
}

TEST_F(GenomeTest, EveryRequiredAttributeIsRequiredWhereItsElementStands) {
    // A valid file with one element per line; each case deletes one required attribute.
    const std::string valid =
        "<Genetics>\n<Generation GenNumber=\"0\">\n<Individual Fitness=\"1\" SpeciesID=\"1\">\n<Nodes>\n"
        "<Node ID=\"1\" Enabled=\"1\" Name=\"INPUT0\" Type=\"NetworkSensor\"/>\n"
        "<Node ID=\"2\" Enabled=\"1\" Name=\"OUTPUT0\" Type=\"NetworkOutputNode\"/>\n</Nodes>\n<Links>\n"
        "<Link ID=\"1\" Enabled=\"1\" fromNode=\"1\" toNode=\"2\" weight=\"1\"/>\n</Links>\n</Individual>\n"
        "</Generation>\n</Genetics>\n";
    GeneticPopulation ok(write("ok.xml", valid), globals);
    const std::tuple<std::string, std::string, std::string> attributes[] = {
        {" GenNumber=\"0\"", "Generation", "2"},  {" Fitness=\"1\"", "Individual", "3"},
        {" SpeciesID=\"1\"", "Individual", "3"},  {" ID=\"1\" Enabled=\"1\" Name", "Node", "5"},
        {" Enabled=\"1\" Name", "Node", "5"},     {" Name=\"INPUT0\"", "Node", "5"},
        {" Type=\"NetworkSensor\"", "Node", "5"}, {" ID=\"1\" Enabled=\"1\" from", "Link", "9"},
        {" Enabled=\"1\" from", "Link", "9"},     {" fromNode=\"1\"", "Link", "9"},
        {" toNode=\"2\"", "Link", "9"},           {" weight=\"1\"", "Link", "9"}};
    for (const auto& [attribute, element, line] : attributes) {
        std::string text = valid;
        const std::size_t at = text.find(attribute);
        ASSERT_NE(at, std::string::npos) << attribute;
        // Remove only the first attribute of the match (the one named first).
        const std::size_t end = text.find('"', text.find('"', at) + 1) + 1;
        const std::string name = text.substr(at + 1, text.find('=', at) - at - 1);
        text.erase(at, end - at);
        EXPECT_EQ(loadError(text), "Genome file: element \"" + element + "\" on line " + line +
                                       " lacks the attribute \"" + name + "\"!");
    }
}
