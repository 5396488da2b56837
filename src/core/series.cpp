// The per-step series: each fitness group's current fitness (the measure the report scores),
// its counted evaluations and the public memory's best, read without changing the run.
#include "series.h"

#include <cerrno>
#include <cstring>

#include "agent.h"
#include "simulation.h"
#include "util.h"

namespace {

// Rows are handed to the file in pieces of about this size, and always whole, so that a run
// that is stopped leaves only complete rows.
constexpr size_t kWriteChunk = 1 << 20;

}  // namespace

SeriesWriter::SeriesWriter(const std::string& name) : fileName(name), file(fopen(name.c_str(), "w")) {
    if (!file) NK_FATAL("Cannot write the series file %s: %s\n", name.c_str(), strerror(errno));
    rows = "run,step,group,agents,mean_fitness,best_fitness,evaluations,public_best\n";
    writeRows();
}

SeriesWriter::~SeriesWriter() {
    if (file) fclose(file);
}

// A step's fitness values are read when the next step's agents have moved and before its
// visits are recorded: the landscape then gives every point the value it had when the step
// ended, and the agents have just evaluated most of their points again, so reading them
// costs a look-up where it would otherwise repeat the crowding of a whole step. The values
// of a run's last step are read when the run ends.
void SeriesWriter::afterStep(Simulation& sim) {
    run = sim.curRun;
    step = sim.curStep;
    // The public memory holds its points with the fitness they were stored with; reading it
    // evaluates nothing.
    const Memory* pub = sim.getPublicMemory();
    publicBest = pub && pub->getNumPoints() > 0 ? pub->getBestPoint().fitness : 0.0;
    evaluations.assign(sim.countedEvals, sim.countedEvals + sim.params.nFitnessGroups);
    points.clear();
    for (const auto& a : sim.agents) points.push_back(a->getLastPoint());
    pending = true;
}

void SeriesWriter::beforeVisits(Simulation& sim) {
    if (pending) addRows(sim);
}

void SeriesWriter::afterRun(Simulation& sim) {
    if (pending) addRows(sim);
    writeRows();
}

void SeriesWriter::addRows(Simulation& sim) {
    const SimuParameters& p = sim.params;
    char buf[200];
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        const int size = last >= first ? last - first + 1 : 0;
        // Summed in agent order, as the report sums them, so that the means agree to the bit.
        double sum = 0.0, best = 0.0;
        for (int i = first; i <= last; i++) {
            const double f = sim.landscape.peekFitnessValue(points[static_cast<size_t>(i)]);
            sum += f;
            if (i == first || f > best) best = f;
        }
        const long long evals = evaluations[static_cast<size_t>(g)];
        const int n = size > 0 ? snprintf(buf, sizeof buf, "%u,%u,%d,%d,%.6f,%.6f,%lld,%.6f\n", run, step, g, size,
                                          sum / size, best, evals, publicBest)
                               : snprintf(buf, sizeof buf, "%u,%u,%d,0,,,%lld,%.6f\n", run, step, g, evals, publicBest);
        rows.append(buf, static_cast<size_t>(n));
    }
    pending = false;
    if (rows.size() >= kWriteChunk) writeRows();
}

void SeriesWriter::writeRows() {
    if (fwrite(rows.data(), 1, rows.size(), file) != rows.size() || fflush(file) != 0)
        NK_FATAL("Cannot write the series file %s: %s\n", fileName.c_str(), strerror(errno));
    rows.clear();
}
