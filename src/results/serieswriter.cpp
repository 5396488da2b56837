// The per-step series as CSV: fitness values with six decimals, as the report has them.
#include "serieswriter.h"

#include <cerrno>
#include <cstring>

#include "util.h"

namespace {

// Rows are handed to the file in pieces of about this size, and always whole, so that a run
// that is stopped leaves only complete rows.
constexpr size_t kWriteChunk = 1 << 20;

}  // namespace

SeriesWriter::SeriesWriter(const std::string& name) : fileName(name), file(fopen(name.c_str(), "w")) {
    if (!file) NK_FATAL(IO, "Cannot write the series file %s: %s\n", name.c_str(), strerror(errno));
    rows =
        "run,step,group,agents,mean_fitness,best_fitness,evaluations,public_best,mean_base_fitness,best_base_fitness,"
        "distinct_points\n";
    writeRows();
}

SeriesWriter::~SeriesWriter() {
    if (file) fclose(file);
}

void SeriesWriter::addRow(const SeriesRow& r) {
    char buf[256];
    const int n = r.hasFitness ? snprintf(buf, sizeof buf, "%u,%u,%d,%d,%.6f,%.6f,%lld,%.6f,%.6f,%.6f,%d\n", r.run,
                                          r.step, r.group, r.agents, r.meanFitness, r.bestFitness, r.evaluations,
                                          r.publicBest, r.meanBaseFitness, r.bestBaseFitness, r.distinctPoints)
                               : snprintf(buf, sizeof buf, "%u,%u,%d,%d,,,%lld,%.6f,,,\n", r.run, r.step, r.group,
                                          r.agents, r.evaluations, r.publicBest);
    rows.append(buf, static_cast<size_t>(n));
}

void SeriesWriter::rowsAdded(bool runEnded) {
    if (runEnded || rows.size() >= kWriteChunk) writeRows();
}

void SeriesWriter::writeRows() {
    if (fwrite(rows.data(), 1, rows.size(), file) != rows.size() || fflush(file) != 0)
        NK_FATAL(IO, "Cannot write the series file %s: %s\n", fileName.c_str(), strerror(errno));
    rows.clear();
}
