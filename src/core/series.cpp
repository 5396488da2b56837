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

void SeriesWriter::afterStep(Simulation& sim) {
    const SimuParameters& p = sim.params;
    // The public memory holds its points with the fitness they were stored with; reading it
    // evaluates nothing.
    const Memory* pub = sim.getPublicMemory();
    const double publicBest = pub && pub->getNumPoints() > 0 ? pub->getBestPoint().fitness : 0.0;
    char buf[200];
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        const int size = last >= first ? last - first + 1 : 0;
        // Summed in agent order, as the report sums them, so that the means agree to the bit.
        double sum = 0.0, best = 0.0;
        for (int i = first; i <= last; i++) {
            const double f = sim.landscape.peekFitnessValue(sim.agents[i]->getLastPoint());
            sum += f;
            if (i == first || f > best) best = f;
        }
        const int n = size > 0
                          ? snprintf(buf, sizeof buf, "%u,%u,%d,%d,%.6f,%.6f,%lld,%.6f\n", sim.curRun, sim.curStep, g,
                                     size, sum / size, best, static_cast<long long>(sim.countedEvals[g]), publicBest)
                          : snprintf(buf, sizeof buf, "%u,%u,%d,0,,,%lld,%.6f\n", sim.curRun, sim.curStep, g,
                                     static_cast<long long>(sim.countedEvals[g]), publicBest);
        rows.append(buf, static_cast<size_t>(n));
    }
    if (rows.size() >= kWriteChunk) writeRows();
}

void SeriesWriter::afterRun(Simulation&) { writeRows(); }

void SeriesWriter::writeRows() {
    if (fwrite(rows.data(), 1, rows.size(), file) != rows.size() || fflush(file) != 0)
        NK_FATAL("Cannot write the series file %s: %s\n", fileName.c_str(), strerror(errno));
    rows.clear();
}
