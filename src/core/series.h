// The per-step series of a batch (--series FILE): one CSV row per run, step and fitness group.
#pragma once

#include <cstdio>
#include <string>

#include "batchobserver.h"

class SeriesWriter : public BatchObserver {
public:
    // Creates the file and writes the header; ends the program when it cannot be written.
    explicit SeriesWriter(const std::string& fileName);
    ~SeriesWriter() override;
    SeriesWriter(const SeriesWriter&) = delete;
    SeriesWriter& operator=(const SeriesWriter&) = delete;

    void afterStep(Simulation& simulation) override;
    void afterRun(Simulation& simulation) override;

private:
    std::string fileName;
    FILE* file;
    std::string rows;  // complete rows not yet written

    void writeRows();
};
