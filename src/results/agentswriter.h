// The per-agent trajectories of a batch as CSV (--agents FILE): per run, step and agent where
// the agent stands, its base and crowded fitness there, and the search it made.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "batchobserver.h"
#include "inline.h"

class AgentsWriter : public BatchObserver {
public:
    // Creates the file and writes the header; ends the program when it cannot be written.
    // Rows are written for the steps that are multiples of `every` (1: every step).
    AgentsWriter(const std::string& fileName, unsigned int every);
    // A writer that keeps its rows in memory, without the header, for takeRows (and for
    // runRecorder, a run's rows).
    explicit AgentsWriter(unsigned int every) : file(nullptr), every(every == 0 ? 1 : every) {}
    ~AgentsWriter() override;
    AgentsWriter(const AgentsWriter&) = delete;
    AgentsWriter& operator=(const AgentsWriter&) = delete;

    void afterStep(Simulation& simulation) override;
    void beforeVisits(Simulation& simulation) override;
    void afterRun(Simulation& simulation, const Scorer& scores) override;
    // A run made in a worker thread keeps its rows in memory; merged, they are written here.
    std::unique_ptr<BatchObserver> runRecorder() const override;
    void mergeRun(BatchObserver& recorder) override;

    // The CSV's header line, with its newline.
    static const char* header();
    // The rows kept so far by a writer without a file, taken out.
    std::string takeRows();

private:
    // What an agent did in the step whose rows are pending, known when the step ended; the
    // crowded fitness is read when the next step's agents have moved (as the series reads it).
    struct Pending {
        Point point;
        double base;
        const char* search;
        const char* source;
    };

    std::string fileName;
    FILE* file;
    unsigned int every;
    std::string rows;  // complete rows not yet written
    bool pending = false;
    unsigned int run = 0, step = 0;
    std::vector<Pending> agents;
    std::vector<int> groupOf;  // per agent its fitness group, -1 for none

    void addRows(Simulation& simulation);
    void writeRows();
};
