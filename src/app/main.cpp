// Program entry: parses the command line, builds one Simulation and runs one driver.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "actionprobs.h"
#include "agentswriter.h"
#include "batchrunner.h"
#include "commandline.h"
#include "configdump.h"
#include "keywords.h"
#include "report.h"
#include "runheap.h"
#include "scoring.h"
#include "serieswriter.h"
#include "simulation.h"
#include "util.h"
#include "version.h"
#include "visualmode.h"

namespace {

void printWarning(const std::string& warning) {
    if (!warning.empty()) fprintf(stderr, "warning: %s\n", warning.c_str());
}

void writeConfigDump(const std::string& fileName, const SimuParameters& params) {
    const std::string text = configDump(
        params, std::string("Effective configuration, written by nkswarm ") + NK_VERSION +
                    " (--dump-config):\nevery keyword in reading order with the value in effect, "
                    "defaults included,\nthen the strategy and agent parameter blocks of the main and "
                    "extra files.\nCompared strategies are not included: give their files again, after an empty extra "
                    "file:\nnkswarm FILE --extra-cfg /dev/null --compare-strategies ...\n");
    FILE* f = fopen(fileName.c_str(), "w");
    if (!f || fputs(text.c_str(), f) < 0 || fclose(f) != 0)
        NK_FATAL(IO, "Cannot write the configuration to %s: %s\n", fileName.c_str(), strerror(errno));
}

// The batch with its result options: the series as it runs, and the report in the form asked for.
// What the scoring does that its name does not say is told on standard error: group 0's fixed
// divisor before the runs, and runs scored past their window (known only once they ran) after.
void runBatch(Simulation& simu, const CommandLine& cl) {
    BatchRunner batch(simu, cl.fitnessStatsPrinted);
    const std::string threadsWarning = batch.setThreads(cl.threads);
    if (cl.onlyRuns) batch.setOnlyRuns(cl.onlyFirst, cl.onlyLast);
    std::unique_ptr<SeriesWriter> series;
    if (!cl.seriesFile.empty()) series = std::make_unique<SeriesWriter>(cl.seriesFile);
    std::unique_ptr<AgentsWriter> agents;
    if (!cl.agentsFile.empty()) agents = std::make_unique<AgentsWriter>(cl.agentsFile, cl.agentsEvery);
    printWarning(threadsWarning);
    printWarning(fixedDivisorWarning(simu.getParameters(), batch.statsPrinted()));
    ReportCollector collector;
    runBatchFor(batch, collector, series.get(), agents.get());
    const RunLabels labels{cl.simuCfgFileNames, cl.comparedStrategyNames, cl.fitnessStatsPrinted};
    const std::string report = cl.report == CommandLine::Report::Json  ? collector.json(batch, labels)
                               : cl.report == CommandLine::Report::Csv ? collector.csv(batch, labels)
                                                                       : batch.formatReport();
    fputs(report.c_str(), stdout);
    printWarning(scoredStepsWarning(simu.getParameters(), batch.scores().mostCountedSteps()));
}

// The probabilities one per line, or the reason the check refuses the request.
void printActionProbabilities(Simulation& simu, const CommandLine& cl) {
    std::string refusal;
    const std::vector<double> probs = actionProbabilities(simu, cl.agentId, cl.outputId, cl.stateInputs, refusal);
    if (!refusal.empty()) {
        fprintf(stderr, "%s\n", refusal.c_str());
        return;
    }
    for (size_t a = 0; a < probs.size(); a++) printf("%zu %.6f\n", a, probs[a]);
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine cl = parseCommandLine(argc, argv);
    switch (cl.request) {
        case CommandLine::Request::Usage:
            printUsage(cl.programName);
            return 0;
        case CommandLine::Request::Help:
            printHelp(cl.programName);
            return 0;
        case CommandLine::Request::Version:
            printf("nkswarm %s\n", NK_VERSION);
            return 0;
        case CommandLine::Request::Keywords:
            printKeywordTable(stdout);
            return 0;
        case CommandLine::Request::Run:
            break;
    }
    if (!cl.error.empty()) NK_FATAL(Usage, "%s\n", cl.error.c_str());
#ifndef NK_VISUAL_PROGRAM
    // The window lives in nkswarm-visual, so that batch runs do not load Qt and VTK.
    const std::string noVisualMode = cl.visual != CommandLine::Visual::None ? launchVisualProgram(cl.argv) : "";
#endif
    for (const std::string& warning : cl.warnings) printWarning(warning);
    reserveRunHeap();

    // All configuration reading and checking happens here, before any visual or probability option counts.
    std::vector<std::string> comparedStrategyNames = cl.comparedStrategyNames;
    const SimulationMode mode = cl.visual != CommandLine::Visual::None ? SimulationMode::Visual : SimulationMode::Batch;
    Simulation simu(cl.simuCfgFileNames, comparedStrategyNames, cl.nRunsOverride, cl.evalsPerStepLimit, {}, mode);
    if (!cl.dumpConfigFile.empty()) writeConfigDump(cl.dumpConfigFile, simu.getParameters());
    if (cl.actionProbs) {
        printActionProbabilities(simu, cl);
    } else if (cl.visual != CommandLine::Visual::None) {
#ifdef NK_VISUAL_PROGRAM
        return runVisualMode(simu, cl);
#else
        fprintf(stderr, "%s\n", noVisualMode.c_str());
        return 1;
#endif
    } else {
        runBatch(simu, cl);
    }
    return 0;
}
