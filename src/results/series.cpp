// The per-step series: each fitness group's current fitness (the measure the report scores),
// its counted evaluations and the public memory's best, read without changing the run.
#include "series.h"

#include <algorithm>

#include "agent.h"
#include "simulation.h"

// A step's fitness values are read when the next step's agents have moved and before its
// visits are recorded: the landscape then gives every point the value it had when the step
// ended, and the agents have just evaluated most of their points again, so reading them
// costs a look-up where it would otherwise repeat the crowding of a whole step. The values
// of a run's last step are read when the run ends.
void SeriesRecorder::afterStep(Simulation& sim) {
    run = sim.getCurrentRun();
    step = sim.getCurrentStep();
    // The public memory holds its points with the fitness they were stored with; reading it
    // evaluates nothing.
    const Memory* pub = sim.getPublicMemory();
    publicBest = pub && pub->getNumPoints() > 0 ? pub->getBestPoint().fitness : 0.0;
    evaluations.clear();
    for (int g = 0; g < sim.getParameters().nFitnessGroups; g++) evaluations.push_back(sim.getCountedEvals(g));
    points.clear();
    for (const auto& a : sim.getAgents()) points.push_back(a->getLastPoint());
    pending = true;
}

void SeriesRecorder::beforeVisits(Simulation& sim) {
    if (pending) addRows(sim);
}

void SeriesRecorder::afterRun(Simulation& sim, const Scorer&) {
    if (pending) addRows(sim);
    rowsAdded(true);
}

namespace {

// One run's rows, kept until the run is merged.
class SeriesBuffer : public SeriesRecorder {
public:
    std::vector<SeriesRow> rows;

protected:
    void addRow(const SeriesRow& row) override { rows.push_back(row); }
    void rowsAdded(bool) override {}
};

}  // namespace

std::unique_ptr<BatchObserver> SeriesRecorder::runRecorder() const { return std::make_unique<SeriesBuffer>(); }

void SeriesRecorder::mergeRun(BatchObserver& recorder) {
    for (const SeriesRow& row : static_cast<SeriesBuffer&>(recorder).rows) {
        addRow(row);
        rowsAdded(false);
    }
    rowsAdded(true);
}

void SeriesRecorder::addRows(Simulation& sim) {
    const SimuParameters& p = sim.getParameters();
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        SeriesRow row{
            run,        step,         g, last >= first ? last - first + 1 : 0, 0.0, 0.0, evaluations[(size_t)g],
            publicBest, last >= first};
        // Summed in agent order, as the report sums them, so that the means agree to the bit.
        double sum = 0.0, baseSum = 0.0;
        groupPoints.clear();
        for (int i = first; i <= last && row.hasFitness; i++) {
            const Point& point = points[static_cast<size_t>(i)];
            // An agent on no point would read the landscape at point -1 (all bits set).
            if (point.values < 0) row.hasFitness = false;
            const double f = row.hasFitness ? sim.getLandscape().peekFitnessValue(point) : 0.0;
            const double base = row.hasFitness ? sim.getLandscape().getBaseFitness(point) : 0.0;
            sum += f;
            baseSum += base;
            if (i == first || f > row.bestFitness) row.bestFitness = f;
            if (i == first || base > row.bestBaseFitness) row.bestBaseFitness = base;
            groupPoints.push_back(point.values);
        }
        if (row.hasFitness) {
            row.meanFitness = sum / row.agents;
            row.meanBaseFitness = baseSum / row.agents;
            std::sort(groupPoints.begin(), groupPoints.end());
            row.distinctPoints = (int)(std::unique(groupPoints.begin(), groupPoints.end()) - groupPoints.begin());
        }
        addRow(row);
    }
    pending = false;
    rowsAdded(false);
}
