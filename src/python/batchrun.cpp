// A batch run with the program's observers: the report collector, the per-step series and the
// per-agent rows.
#include "batchrun.h"

#include <chrono>
#include <memory>

#include "agentswriter.h"
#include "batchrunner.h"
#include "report.h"
#include "scoring.h"
#include "simulation.h"

namespace {

// The series rows, kept in memory.
class SeriesTable : public SeriesRecorder {
public:
    explicit SeriesTable(std::vector<SeriesRow>& rows) : rows(rows) {}

protected:
    void addRow(const SeriesRow& row) override { rows.push_back(row); }
    void rowsAdded(bool) override {}

private:
    std::vector<SeriesRow>& rows;
};

void collect(const BatchRunner& batch, const ReportCollector& collector, const std::string& threadsWarning,
             BatchResult& r) {
    const Simulation& sim = batch.simulation();
    r.groups = sim.getParameters().nFitnessGroups;
    r.runs = batch.scores().runCount();
    r.countedSteps = collector.getCountedSteps();
    for (int g = 0; g < r.groups; g++) {
        r.scores.push_back(batch.scores().groupAverage(g));
        r.deviations.push_back(batch.scores().groupDeviation(g));
        r.baseScores.push_back(collector.baseScore(g));
        r.baseDeviations.push_back(collector.baseDeviation(g));
        r.scoring.push_back(scoringName(groupScoring(sim.getParameters(), batch.statsPrinted(), g)));
    }
    for (unsigned int run = 0; run < r.runs; run++) {
        for (int g = 0; g < r.groups; g++) {
            const std::vector<double>& values = batch.scores().runValues(g);
            const std::vector<long long>& evals = collector.getEvaluations(g);
            r.runValues.push_back(run < values.size() ? values[run] : 0.0);
            r.evaluations.push_back(run < evals.size() ? evals[run] : 0);
            const std::vector<double>& base = collector.baseValues(g);
            r.baseRunValues.push_back(run < base.size() ? base[run] : 0.0);
        }
    }
    r.warnings = sim.getParameters().warnings;
    if (!threadsWarning.empty()) r.warnings.push_back(threadsWarning);
    // The program's scoring warnings, in its order: the fixed divisor, then the steps scored.
    for (const std::string& w : {fixedDivisorWarning(sim.getParameters(), batch.statsPrinted()),
                                 scoredStepsWarning(sim.getParameters(), batch.scores().mostCountedSteps())})
        if (!w.empty()) r.warnings.push_back(w);
    r.report = batch.formatReport();
}

}  // namespace

BatchResult runBatch(const BatchRequest& q) {
    const auto start = std::chrono::steady_clock::now();
    BatchResult result;
    std::vector<std::string> comparedNames = q.comparedNames;
    Simulation sim(q.fileNames, comparedNames, q.runs, q.stepEvals, q.texts);
    BatchRunner batch(sim, q.stats);
    batch.setProgressLine(false);
    const std::string threadsWarning = batch.setThreads(q.threads);
    if (q.onlyRuns) batch.setOnlyRuns(q.onlyFirst, q.onlyLast);
    ReportCollector collector;
    SeriesTable series(result.series);
    std::unique_ptr<AgentsWriter> agents;
    if (q.agentsEvery > 0) agents = std::make_unique<AgentsWriter>(q.agentsEvery);
    runBatchFor(batch, collector, q.series ? &series : nullptr, agents.get());
    if (agents) result.agents = AgentsWriter::header() + agents->takeRows();
    collect(batch, collector, threadsWarning, result);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
