// Where the search methods report the landscape evaluations they make; the run driver's
// evaluation budgets and group turns read the counts.
#pragma once

class EvalCounter {
public:
    // Counts `numEvals` evaluations by agent `agentId` for the agent's fitness group.
    virtual void addCountedEvals(int agentId, int numEvals) = 0;

protected:
    ~EvalCounter() = default;
};
