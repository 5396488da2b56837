// The per-step series of a batch: one row per run, step and fitness group, read without
// changing the run. Its users decide where the rows go (a CSV file, arrays).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "batchobserver.h"
#include "inline.h"

struct SeriesRow {
    unsigned int run, step;
    int group, agents;
    // Mean and highest current fitness of the group's agents; undefined without fitness.
    double meanFitness, bestFitness;
    long long evaluations;
    double publicBest;
    // False while the group has no agents or any of them stands on no point yet (a group
    // that has not had its turn): its fitness cells are then empty.
    bool hasFitness;
    // The same two of the base fitness (the landscape's, stretched, without crowding), and the
    // number of different points the group's agents stand on.
    double meanBaseFitness = 0.0, bestBaseFitness = 0.0;
    int distinctPoints = 0;
};

class SeriesRecorder : public BatchObserver {
public:
    void afterStep(Simulation& simulation) override;
    void beforeVisits(Simulation& simulation) override;
    void afterRun(Simulation& simulation, const Scorer& scores) override;
    // A run made in a worker thread keeps its rows; merged, they are added here in order.
    std::unique_ptr<BatchObserver> runRecorder() const override;
    void mergeRun(BatchObserver& recorder) override;

protected:
    // Each row as soon as its values are read, in the order run, step, group.
    virtual void addRow(const SeriesRow& row) = 0;
    // After the rows of a step are added, and at the end of a run.
    virtual void rowsAdded(bool runEnded) = 0;

private:
    // The step whose fitness values are still to be read: what was known when it ended.
    bool pending = false;
    unsigned int run = 0, step = 0;
    double publicBest = 0.0;
    std::vector<std::int64_t> evaluations;             // per fitness group
    std::vector<Point> points;                         // per agent
    std::vector<decltype(Point::values)> groupPoints;  // scratch: one group's points

    void addRows(Simulation& simulation);
};
