// Reading genome population files: structure, attribute parsing, gzip, counters and
// every load error.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "NEAT_FastNetwork.h"
#include "NEAT_GeneticPopulation.h"
#include "NEAT_Globals.h"
#include "neat_test_helpers.h"

using namespace NEAT;
using namespace neattest;

namespace {

const std::string LOAD_ERROR = "Error trying to load the XML file!";
const std::string NO_GLOBALS = "You didn't initialize Globals before using it!";
const std::string OUT_OF_RANGE = "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n";

// Everything a reader could get wrong about one individual, as text.
std::string describe(const GeneticIndividual& ind) {
    std::string s = std::to_string(ind.getFitness()) + "/" + std::to_string(ind.getSpeciesID()) + ":";
    for (const GeneticNodeGene& n : ind.getNodes()) {
        s += " N" + std::to_string(n.getID()) + (n.isEnabled() ? "+" : "-") + n.getName() + "," + n.getType() + "," +
             std::to_string(n.getActivationFunction()) + "," + std::to_string(n.getDrawingPosition());
    }
    for (const GeneticLinkGene& l : ind.getLinks()) {
        s += " L" + std::to_string(l.getID()) + (l.isEnabled() ? "+" : "-") + std::to_string(l.getFromNodeID()) + ">" +
             std::to_string(l.getToNodeID()) + "*" + std::to_string(l.getWeight());
    }
    return s;
}

std::string describe(const GeneticPopulation& pop) {
    std::string s;
    for (int g = 0; g < pop.getGenerationCount(); ++g) {
        s += "G" + std::to_string(pop.getGeneration(g).getGenerationNumber()) + "\n";
        for (int i = 0; i < pop.getGeneration(g).getIndividualCount(); ++i)
            s += describe(*pop.getGeneration(g).getIndividual(i)) + "\n";
    }
    return s;
}

}  // namespace

class GlobalsTest : public NeatTest {};
class PopulationTest : public NeatTest {};
class PopulationErrorTest : public NeatTest {
protected:
    // Loads text as a population file, expecting a load error; returns what was thrown
    // after checking that it went to standard error with a newline.
    std::string loadError(const std::string& text) {
        std::string path = write("bad.xml", text);
        Failure f = failureOf([&] { GeneticPopulation pop(path); });
        EXPECT_EQ(f.err, f.thrown + "\n");
        EXPECT_EQ(f.out, "");
        return f.thrown;
    }
};

TEST_F(GlobalsTest, RecreationStartsFromEmptyTable) {
    setParameter("UseActGaussian", 1.0);
    setParameter("UseActGaussian", 0.25);  // overwrites
    Globals::singleton->setNodeCounter(12);
    EXPECT_EQ(Globals::singleton->getParameterValue("UseActGaussian"), 0.25);

    delete Globals::singleton;
    Globals::singleton = new Globals("");
    setParameter("UseActGaussian", 1.0);
    EXPECT_EQ(Globals::singleton->getNodeCounter(), 0);
    EXPECT_EQ(Globals::singleton->getLinkCounter(), 0);
    EXPECT_EQ(Globals::singleton->getSpeciesCounter(), 0);
    ASSERT_EQ(Globals::singleton->getParameters().size(), 1u);
    EXPECT_EQ(Globals::singleton->getParameterValue("UseActGaussian"), 1.0);

    Globals::singleton->addParameter("Other", 2.0);
    Globals::singleton->addParameter("Other", 3.0);
    EXPECT_EQ(Globals::singleton->getParameterValue("Other"), 3.0);
    EXPECT_FALSE(Globals::singleton->hasParameter("Missing"));
}

TEST_F(GlobalsTest, SetParameterWithoutGlobalsIsReported) {
    delete Globals::singleton;
    Globals::singleton = nullptr;
    Failure f = failureOf([] { setParameter("UseActGaussian", 1.0); });
    EXPECT_EQ(f.thrown, NO_GLOBALS);
    EXPECT_EQ(f.err, NO_GLOBALS);  // no newline
}

TEST_F(GlobalsTest, ParameterFileIsRefused) {
    Failure f = failureOf([] { Globals g("params.dat"); });
    EXPECT_EQ(f.thrown, "Reading NEAT parameter files is not supported: params.dat");
}

TEST_F(GlobalsTest, ReadingRaisesCountersAboveLargestIDs) {
    std::string first = individual(
        sensor(0, "Bias") + sensor(1, "INPUT0") + sensor(2, "INPUT1") + node(7, "OUTPUT0", "NetworkOutputNode"),
        link(3, 1, 7, "1") + link(11, 2, 7, "1"), "1", 4);
    GeneticPopulation a(write("a.xml", document(generation(first))));
    EXPECT_EQ(Globals::singleton->getNodeCounter(), 8);
    EXPECT_EQ(Globals::singleton->getLinkCounter(), 12);
    EXPECT_EQ(Globals::singleton->getSpeciesCounter(), 5);

    std::string second =
        individual(sensor(5, "INPUT0") + node(4, "OUTPUT0", "NetworkOutputNode"), link(2, 5, 4, "1"), "1", 2);
    GeneticPopulation b(write("b.xml", document(generation(second))));
    EXPECT_EQ(Globals::singleton->getNodeCounter(), 8);
    EXPECT_EQ(Globals::singleton->getLinkCounter(), 12);
    EXPECT_EQ(Globals::singleton->getSpeciesCounter(), 5);
}

TEST_F(PopulationTest, ReadsEveryAttribute) {
    std::string ind =
        "<Individual Fitness=\"2.5\" SpeciesID=\"3\" UserData=\"x\">\n<Nodes>\n"
        "<Node ID=\"1\" Enabled=\"1\" Name=\"INPUT0\" Type=\"NetworkSensor\" DrawingPosition=\"0.25\"/>\n"
        "<Node ID=\"2\" Enabled=\"0\" Name=\"OUTPUT0\" Type=\"NetworkOutputNode\" "
        "ActivationFunction=\"8\"/>\n"
        "</Nodes>\n<Links>\n" +
        link(4, 1, 2, "-1.75", "0") + "</Links>\n</Individual>\n";
    GeneticPopulation pop(write("p.xml", document(generation(ind, 17))));
    EXPECT_EQ(describe(pop),
              "G17\n2.500000/3: N1+INPUT0,NetworkSensor,0,0.250000 "
              "N2-OUTPUT0,NetworkOutputNode,8,0.000000 L4-1>2*-1.750000\n");
}

TEST_F(PopulationTest, NumbersParseFromTheStartOfTheText) {
    std::string nodes = node(1, "INPUT0", "NetworkSensor") + node(2, "OUTPUT0", "NetworkOutputNode");
    std::string links =
        "<Link ID=\" 5\" Enabled=\"+1\" fromNode=\" 1xyz\" toNode=\"2.9\" weight=\" 1.5e1abc\"/>\n"
        "<Link ID=\"6\" Enabled=\"1\" fromNode=\"1\" toNode=\"2\" weight=\"abc\"/>\n";
    std::string ind = "<Individual Fitness=\"3.25 points\" SpeciesID=\"-4\">\n<Nodes>\n" + nodes +
                      "</Nodes>\n<Links>\n" + links + "</Links>\n</Individual>\n";
    GeneticPopulation pop(write("p.xml", document("<Generation GenNumber=\"none\">" + ind + "</Generation>")));
    EXPECT_EQ(describe(pop),
              "G0\n3.250000/-4: N1+INPUT0,NetworkSensor,0,0.500000 "
              "N2+OUTPUT0,NetworkOutputNode,0,0.500000 L5+1>2*15.000000 L6+1>2*0.000000\n");
}

TEST_F(PopulationTest, OnlyTheIntegerOneEnables) {
    const std::pair<const char*, bool> cases[] = {{"1", true},   {" 1", true},  {"\t 1", true},  {"01", true},
                                                  {"0", false},  {"2", false},  {"true", false}, {"", false},
                                                  {"-1", false}, {"1.0", true}, {"11", false}};
    std::string nodes;
    for (int i = 0; i < 11; ++i) nodes += node(i, "N" + std::to_string(i), "NetworkSensor", -1, cases[i].first);
    GeneticPopulation pop(write("p.xml", document(generation(individual(nodes, link(1, 0, 1, "1"))))));
    auto ind = pop.getIndividual(0);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(ind->getNode(i).isEnabled(), cases[i].second) << cases[i].first;
}

TEST_F(PopulationTest, GenesEndUpInAscendingIDOrder) {
    std::string ascending = sensor(1, "Bias") + sensor(2, "INPUT0") + node(3, "H", "NetworkNode", 4) +
                            node(4, "OUTPUT0", "NetworkOutputNode", 6);
    std::string descending = node(4, "OUTPUT0", "NetworkOutputNode", 6) + node(3, "H", "NetworkNode", 4) +
                             sensor(2, "INPUT0") + sensor(1, "Bias");
    std::string linksUp = link(10, 2, 3, "0.5") + link(11, 3, 4, "2") + link(12, 1, 4, "-0.5");
    std::string linksDown = link(12, 1, 4, "-0.5") + link(11, 3, 4, "2") + link(10, 2, 3, "0.5");
    GeneticPopulation up(write("up.xml", document(generation(individual(ascending, linksUp)))));
    GeneticPopulation down(write("down.xml", document(generation(individual(descending, linksDown)))));
    EXPECT_EQ(describe(up), describe(down));
    auto ind = down.getIndividual(0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ind->getNode(i).getID(), i + 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ind->getLink(i).getID(), 10 + i);

    std::unique_ptr<FastNetwork> a(up.getIndividual(0)->spawnFastPhenotype());
    std::unique_ptr<FastNetwork> b(ind->spawnFastPhenotype());
    for (FastNetwork* net : {a.get(), b.get()}) {
        net->reinitialize();
        net->setValue(net->getNodeIndex("Bias"), 1.0);
        net->setValue(net->getNodeIndex("INPUT0"), 3.0);
        net->update(2);
    }
    // Linear of (1.5^2 * 2 - 0.5) = Linear(4) = 1.
    EXPECT_EQ(a->getValue(a->getNodeIndex("OUTPUT0")), 1.0);
    EXPECT_EQ(b->getValue(b->getNodeIndex("OUTPUT0")), 1.0);
}

TEST_F(PopulationTest, SkipsOtherRootChildrenAndLaterNodeLists) {
    std::string extraNodes = "<Nodes>" + sensor(1, "DUPLICATE") + sensor(50, "EXTRA") + "</Nodes>";
    std::string ind = "<Genome Fitness=\"1\" SpeciesID=\"1\"><Nodes>" + sensor(1, "INPUT0") +
                      node(2, "OUTPUT0", "NetworkOutputNode") + "</Nodes>" + extraNodes + "<Links>" +
                      link(1, 1, 2, "1") + "</Links><Links>" + link(1, 1, 2, "9") + "</Links></Genome>";
    std::string text = document("<Comment>not a generation</Comment>\n<generation GenNumber=\"1\"/>\n" +
                                generation(ind) + "<Note/>\n");
    GeneticPopulation pop(write("p.xml", text));
    ASSERT_EQ(pop.getGenerationCount(), 1);
    auto got = pop.getIndividual(0);
    EXPECT_EQ(got->getNodesCount(), 2);
    EXPECT_EQ(got->getNode(0).getName(), "INPUT0");
    ASSERT_EQ(got->getLinksCount(), 1);
    EXPECT_EQ(got->getLink(0).getWeight(), 1.0);
}

TEST_F(PopulationTest, LastGenerationIsCurrentWhateverItsNumber) {
    std::string text =
        document(generation(smallIndividual("1"), 9) + generation(smallIndividual("2") + smallIndividual("3"), 3) +
                 generation(smallIndividual("4") + smallIndividual("5") + smallIndividual("6"), 0));
    GeneticPopulation pop(write("p.xml", text));
    EXPECT_EQ(pop.getGenerationCount(), 3);
    EXPECT_EQ(pop.getCurrentGeneration(), 2);
    EXPECT_EQ(pop.getIndividualCount(), 3);
    EXPECT_EQ(pop.getIndividual(0)->getFitness(), 4.0);
    EXPECT_EQ(pop.getIndividual(2)->getFitness(), 6.0);
    EXPECT_EQ(pop.getIndividual(1, 1)->getFitness(), 3.0);
    EXPECT_EQ(pop.getIndividual(0, 0)->getFitness(), 1.0);
    // Copies of a generation share its individuals.
    GeneticGeneration copy = pop.getGeneration(2);
    EXPECT_EQ(copy.getIndividual(1), pop.getIndividual(1));
}

TEST_F(PopulationTest, OutOfRangeIndividualIsReportedOnStandardOutput) {
    GeneticPopulation pop(
        write("p.xml", document(generation(smallIndividual()) + generation(smallIndividual() + smallIndividual()))));
    const std::pair<unsigned, int> cases[] = {{2, -1}, {1, 0}, {0, 2}, {0, -2}, {4000000000u, -1}};
    for (auto [index, gen] : cases) {
        Failure f = failureOf([&] { pop.getIndividual(index, gen); });
        EXPECT_EQ(f.thrown, OUT_OF_RANGE);
        EXPECT_EQ(f.out, OUT_OF_RANGE);
        EXPECT_EQ(f.err, "");
    }
}

TEST_F(PopulationTest, GzipReadsLikePlain) {
    std::string text = document(generation(smallIndividual("1.5", 2)) + generation(smallIndividual("7", 3), 4));
    GeneticPopulation plain(write("pop.xml", text));
    GeneticPopulation packed(writeGzip("pop.xml.gz", text));
    EXPECT_EQ(describe(packed), describe(plain));
    EXPECT_EQ(packed.getGenerationCount(), 2);
    EXPECT_EQ(packed.getIndividual(0)->getFitness(), 7.0);
}

TEST_F(PopulationTest, NameThatIsOnlyDotGzIsReadAsPlainFile) {
    std::string text = document(generation(smallIndividual("8")));
    write(".gz", text);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::unique_ptr<GeneticPopulation> pop;
    try {
        pop = std::make_unique<GeneticPopulation>(".gz");
    } catch (const std::string&) {
    }
    std::filesystem::current_path(previous);
    ASSERT_TRUE(pop);
    EXPECT_EQ(pop->getIndividual(0)->getFitness(), 8.0);
}

TEST_F(PopulationErrorTest, UnreadableFilesAreLoadErrors) {
    std::string good = document(generation(smallIndividual()));
    const std::string cases[] = {
        (dir / "missing.xml").string(),
        (dir / "missing.xml.gz").string(),
        write("empty.xml", ""),
        write("broken.xml", "<Genetics><Generation GenNumber=\"0\"></Genetics>"),
        write("notgzip.xml.gz", good),  // plain text under a .gz name
        write("truncated.xml.gz", ""),  // filled below
        dir.string(),                   // a directory
    };
    // Only the first half of a compressed file.
    writeGzip("whole.xml.gz", good);
    std::string whole;
    {
        std::ifstream in(dir / "whole.xml.gz", std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    write("truncated.xml.gz", whole.substr(0, whole.size() / 2));
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        Failure f = failureOf([&] { GeneticPopulation pop(path); });
        EXPECT_EQ(f.thrown, LOAD_ERROR);
        EXPECT_EQ(f.err, LOAD_ERROR + "\n");
    }
}

TEST_F(PopulationErrorTest, DuplicateGeneIDs) {
    std::string twoNodes = sensor(1, "INPUT0") + node(1, "OUTPUT0", "NetworkOutputNode");
    EXPECT_EQ(loadError(document(generation(individual(twoNodes, link(1, 1, 1, "1"))))),
              "Oops, tried to add a node when it already existed!");
    // Same ID, different ends: still a duplicate.
    std::string nodes = sensor(1, "INPUT0") + sensor(2, "INPUT1") + node(3, "OUTPUT0", "NetworkOutputNode");
    EXPECT_EQ(loadError(document(generation(individual(nodes, link(5, 1, 3, "1") + link(5, 2, 3, "1"))))),
              "Oops, tried to add a link when it already existed!");
}

TEST_F(PopulationErrorTest, MissingGlobals) {
    delete Globals::singleton;
    Globals::singleton = nullptr;
    std::string path = write("p.xml", document(generation(smallIndividual())));
    Failure f = failureOf([&] { GeneticPopulation pop(path); });
    EXPECT_EQ(f.thrown, NO_GLOBALS);
    EXPECT_EQ(f.err, NO_GLOBALS);
}

TEST_F(PopulationErrorTest, DanglingLinkAndUnknownActivationFunction) {
    std::string nodes = sensor(1, "INPUT0") + node(2, "OUTPUT0", "NetworkOutputNode");
    EXPECT_EQ(loadError(document(generation(individual(nodes, link(7, 1, 42, "1"))))),
              "Genome file: link 7 on line 10 names node 42, which its individual lacks!");
    EXPECT_EQ(loadError(document(generation(individual(nodes, link(7, 43, 2, "1"))))),
              "Genome file: link 7 on line 10 names node 43, which its individual lacks!");
    for (int fn : {9, -1}) {
        std::string bad = sensor(1, "INPUT0") + node(2, "OUTPUT0", "NetworkOutputNode", 0) +
                          "<Node ID=\"3\" Enabled=\"1\" Name=\"H\" Type=\"NetworkNode\" ActivationFunction=\"" +
                          std::to_string(fn) + "\"/>\n";
        EXPECT_EQ(loadError(document(generation(individual(bad, link(7, 1, 2, "1"))))),
                  "Genome file: node 3 on line 8 has activation function " + std::to_string(fn) + ", outside 0 to 8!");
    }
}

TEST_F(PopulationErrorTest, MissingElements) {
    const std::string nodes = sensor(1, "INPUT0") + node(2, "OUTPUT0", "NetworkOutputNode");
    const std::string links = link(1, 1, 2, "1");
    EXPECT_EQ(loadError("<?xml version=\"1.0\"?>\n<!-- nothing -->\n"), "Genome file: no root element!");
    EXPECT_EQ(loadError(document("<Comment/>")), "Genome file: no \"Generation\" element under the root!");
    EXPECT_EQ(loadError(document(generation(""))), "Genome file: generation on line 3 has no individual!");
    const std::pair<std::string, std::string> individuals[] = {
        {"<Individual Fitness=\"1\" SpeciesID=\"1\"><Links>" + links + "</Links></Individual>",
         "Genome file: individual on line 4 has no \"Nodes\" element with at least one node!"},
        {"<Individual Fitness=\"1\" SpeciesID=\"1\"><Nodes></Nodes><Links>" + links + "</Links></Individual>",
         "Genome file: individual on line 4 has no \"Nodes\" element with at least one node!"},
        {"<Individual Fitness=\"1\" SpeciesID=\"1\"><Nodes>" + nodes + "</Nodes></Individual>",
         "Genome file: individual on line 4 has no \"Links\" element with at least one link!"},
        {"<Individual Fitness=\"1\" SpeciesID=\"1\"><Nodes>" + nodes + "</Nodes><Links/></Individual>",
         "Genome file: individual on line 4 has no \"Links\" element with at least one link!"},
    };
    for (const auto& [ind, message] : individuals) EXPECT_EQ(loadError(document(generation(ind))), message);
}

TEST_F(PopulationErrorTest, MissingRequiredAttributes) {
    // One valid file on a single line per element; each case deletes one attribute.
    const std::string valid =
        "<Genetics>\n<Generation GenNumber=\"0\">\n<Individual Fitness=\"1\" SpeciesID=\"1\">\n<Nodes>\n"
        "<Node ID=\"1\" Enabled=\"1\" Name=\"INPUT0\" Type=\"NetworkSensor\"/>\n"
        "<Node ID=\"2\" Enabled=\"1\" Name=\"OUTPUT0\" Type=\"NetworkOutputNode\"/>\n</Nodes>\n<Links>\n"
        "<Link ID=\"1\" Enabled=\"1\" fromNode=\"1\" toNode=\"2\" weight=\"1\"/>\n</Links>\n</Individual>\n"
        "</Generation>\n</Genetics>\n";
    GeneticPopulation ok(write("ok.xml", valid));
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {" GenNumber=\"0\"", "Generation", "2"},  {" Fitness=\"1\"", "Individual", "3"},
        {" SpeciesID=\"1\"", "Individual", "3"},  {" ID=\"1\" Enabled=\"1\" Name", "Node", "5"},
        {" Enabled=\"1\" Name", "Node", "5"},     {" Name=\"INPUT0\"", "Node", "5"},
        {" Type=\"NetworkSensor\"", "Node", "5"}, {" ID=\"1\" Enabled=\"1\" from", "Link", "9"},
        {" Enabled=\"1\" from", "Link", "9"},     {" fromNode=\"1\"", "Link", "9"},
        {" toNode=\"2\"", "Link", "9"},           {" weight=\"1\"", "Link", "9"},
    };
    for (const auto& [attribute, element, line] : cases) {
        std::string text = valid;
        std::size_t at = text.find(attribute);
        ASSERT_NE(at, std::string::npos) << attribute;
        // Remove only the first attribute of the match (the one named first).
        std::size_t end = text.find('"', text.find('"', at) + 1) + 1;
        std::string name = text.substr(at + 1, text.find('=', at) - at - 1);
        text.erase(at, end - at);
        EXPECT_EQ(loadError(text), "Genome file: element \"" + element + "\" on line " + line +
                                       " lacks the attribute \"" + name + "\"!");
    }
}
