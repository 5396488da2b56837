// The per-step series of a batch (--series FILE): one CSV row per run, step and fitness group.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "batchobserver.h"
#include "inline.h"

class SeriesWriter : public BatchObserver {
public:
    // Creates the file and writes the header; ends the program when it cannot be written.
    explicit SeriesWriter(const std::string& fileName);
    ~SeriesWriter() override;
    SeriesWriter(const SeriesWriter&) = delete;
    SeriesWriter& operator=(const SeriesWriter&) = delete;

    void afterStep(Simulation& simulation) override;
    void beforeVisits(Simulation& simulation) override;
    void afterRun(Simulation& simulation) override;

private:
    std::string fileName;
    FILE* file;
    std::string rows;  // complete rows not yet written

    // The step whose fitness values are still to be read: what was known when it ended.
    bool pending = false;
    unsigned int run = 0, step = 0;
    double publicBest = 0.0;
    std::vector<std::int64_t> evaluations;  // per fitness group
    std::vector<Point> points;              // per agent

    void addRows(Simulation& simulation);
    void writeRows();
};
