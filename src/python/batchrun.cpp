// A batch run with the program's observers: the report collector and the per-step series.
#include "batchrun.h"

#include <chrono>

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

void collect(const Simulation& sim, const ReportCollector& collector, BatchResult& r) {
    r.groups = sim.params.nFitnessGroups;
    r.runs = sim.params.nRuns;
    r.countedSteps = collector.getCountedSteps();
    for (int g = 0; g < r.groups; g++) {
        r.scores.push_back(sim.groupAverage(g));
        r.deviations.push_back(sim.groupDeviation(g));
        r.scoring.push_back(scoringName(groupScoring(sim.params, sim.fitnessStatsPrinted, g)));
    }
    for (unsigned int run = 0; run < r.runs; run++) {
        for (int g = 0; g < r.groups; g++) {
            const std::vector<double>& values = sim.fitnessForRuns[g];
            const std::vector<long long>& evals = collector.getEvaluations(g);
            r.runValues.push_back(run < values.size() ? values[run] : 0.0);
            r.evaluations.push_back(run < evals.size() ? evals[run] : 0);
        }
    }
    r.warnings = sim.params.warnings;
    // The program's scoring warnings, in its order: the fixed divisor, then the steps scored.
    for (const std::string& w : {fixedDivisorWarning(sim.params, sim.fitnessStatsPrinted),
                                 scoredStepsWarning(sim.params, sim.getMostCountedSteps())})
        if (!w.empty()) r.warnings.push_back(w);
    r.report = sim.formatReport();
}

}  // namespace

BatchResult runBatch(const BatchRequest& q) {
    const auto start = std::chrono::steady_clock::now();
    BatchResult result;
    std::vector<std::string> comparedNames = q.comparedNames;
    Simulation sim(q.fileNames, comparedNames, q.runs, q.stats, q.stepEvals, q.texts);
    sim.progressLine = false;
    ReportCollector collector;
    SeriesTable series(result.series);
    // In the order the program attaches them.
    if (q.series) sim.observers.push_back(&series);
    sim.observers.push_back(&collector);
    sim.runBatch();
    sim.observers.clear();
    collect(sim, collector, result);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
