// The step a run is at, as everything that stamps a visit reads it.
#pragma once

// The run owns one clock and advances it; the landscape and the memories hold it read-only, so
// that a visit is stamped with the step without asking the run.
class StepClock {
public:
    unsigned int now() const { return step_; }
    void set(unsigned int step) { step_ = step; }
    void advance() { step_++; }

private:
    unsigned int step_ = 0;
};
