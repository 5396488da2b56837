// Network strategy blocks and the genome-error policy.
#include "networkreader.h"

#include <algorithm>
#include <climits>

#include "NEAT_GeneticPopulation.h"
#include "NetworkActivator.h"
#include "configtext.h"
#include "util.h"

namespace {

void findNodeIndices(NeuralNet& nn) {
    nn.i0 = nn.net->getNodeIndex("INPUT0");
    nn.i1 = nn.net->getNodeIndex("INPUT1");
    nn.i2 = nn.net->getNodeIndex("INPUT2");
    nn.i3 = nn.net->getNodeIndex("INPUT3");
    nn.i4 = nn.net->getNodeIndex("INPUT4");
    nn.i5 = nn.net->getNodeIndex("INPUT5");
    nn.o0 = nn.net->getNodeIndex("OUTPUT0");
    nn.o1 = nn.net->getNodeIndex("OUTPUT1");
    nn.bias = nn.net->getNodeIndex(NEAT::NA_BIAS_NAME);
    nn.depth = nn.net->computeMaxDepth(std::vector<int>{nn.o0, nn.o1});
}

}  // namespace

void NetworkReader::read(ConfigFile& file, const KeywordEntry& entry, AgentStrategy& s,
                         std::vector<std::string>& words) {
    const int line = file.lastKeywordLine();
    const Word fileWord = file.peek();
    if (fileWord.atEnd) messages_.problem(file, fileWord.line, std::string(entry.name) + " needs a genome file name");
    const std::string path = fileWord.text;
    file.consume(path.size());
    words.push_back(path);
    const Word indexWord = file.peek();
    values_.checkValueText(file, indexWord, std::string(entry.name) + " index", entry.values[1], FieldRef{}, true);
    const Scan scan = indexWord.atEnd ? Scan{} : scanWhole(indexWord.text);
    file.consume(scan.length);
    const int index =
        scan.length ? static_cast<int>(std::clamp<long long>(clampToInt64(scan.value), INT_MIN, INT_MAX)) : -1;
    words.push_back(std::to_string(index));
    // Each activator serves one fetch and the records own the networks, so the previous
    // activator is of no further use.
    p_.netActivator = std::make_unique<NEAT::NetworkActivator>(true);
    NeuralNet& nn = s.nn;
    try {
        p_.netActivator->loadPopulation(path, *p_.neatGlobals);
        nn.net = NEATNetworkPtr(p_.netActivator->fetchFastNetwork(index));
        findNodeIndices(nn);
    } catch (const NEAT::GenomeError& thrown) {
        reportGenomeError(ConfigMessages::where(file, line) + entry.name + ": genome file " + describePath(path), path,
                          thrown, index);
    }
    p_.usingNNStrategy = true;
    readType(file, entry, s, words);
}

void NetworkReader::readType(ConfigFile& file, const KeywordEntry& entry, AgentStrategy& s,
                             std::vector<std::string>& words) {
    const StrategyType fallback = defaultNetworkType(p_.groupSize >= 2);
    s.type = fallback;
    if (file.matchKeyword(kNetworkTypeWord)) {
        const Word w = file.peek();
        values_.checkValueText(file, w, kNetworkTypeWord, entry.values[2], FieldRef{}, true);
        const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
        file.consume(scan.length);
        if (scan.length && isStrategyType(scan.value))
            s.type = static_cast<StrategyType>(static_cast<int>(scan.value));
        else if (scan.length)
            messages_.warn(ConfigMessages::where(file, w.line) + kNetworkTypeWord + " " +
                           w.text.substr(0, scan.length) + " is not a strategy type (0 to " +
                           std::to_string(StrategyTypeNum - 1) + "): the default type " +
                           std::to_string(static_cast<int>(fallback)) + " is used");
    }
    // Written back with the type in effect, so that it reads back the same with any groupSize.
    words.push_back(kNetworkTypeWord);
    words.push_back(std::to_string(static_cast<int>(s.type)));
}

// The genome reader's own message first (a range error on standard output, as it always was),
// then the word that callers scripting many runs look for, then where and why; exit status 0.
void NetworkReader::reportGenomeError(const std::string& what, const std::string& path, const NEAT::GenomeError& thrown,
                                      int index) {
    const NEAT::GeneticPopulation* pop = p_.netActivator->getPopulation();
    const bool outOfRange = thrown.fault == NEAT::GenomeFault::OutOfRange;
    std::string detail = what;
    if (pop && outOfRange) {
        const int last = pop->getGenerationCount() - 1;
        detail += ": individual " + std::to_string(index) + ", generation " +
                  std::to_string(pop->getGeneration(last).getGenerationNumber()) + " has " +
                  std::to_string(pop->getIndividualCount()) + " (the last generation; individuals count from 0)";
    } else if (thrown.fault == NEAT::GenomeFault::Unreadable) {
        detail += ": " + whyUnreadable(path);
    }
    const std::string cause = outOfRange ? std::string(thrown.what()) : std::string(thrown.what()) + "\n";
    const std::string details = messages_.withFirstProblem(detail + "\n");
    if (errorMessagesPrinted()) {
        fputs(cause.c_str(), outOfRange ? stdout : stderr);
        printf("error");
        fputs(details.c_str(), stderr);
    }
    fatalExit(ErrorKind::Genome, 0, cause + details);
}
