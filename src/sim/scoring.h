// Which scoring produced a fitness group's score in a batch report, and the two warnings the
// scoring calls for: group 0's fixed divisor, and runs scored past their window.
#pragma once

#include <string>

#include "params.h"

// A fitness group's score, by the batch's options: not scored (the report prints 0), the best
// agent's sum over the scored steps, the group's mean per scored step, or group 0's sum
// divided by the fixed kGroupZeroDivisor; each divided by lastStepsUsedForFitness and
// averaged over the runs.
enum class Scoring { None, BestAgent, Mean, SumOverFixedDivisor };

// Group 0's score without statistics and without agentsFitnessUseMax is the sum of its agents'
// fitness divided by this constant, not by the group's size; stored results depend on it.
constexpr int kGroupZeroDivisor = 11;

Scoring groupScoring(const SimuParameters& params, bool fitnessStatsPrinted, int group);
// Its name in the labelled reports and the Python module: "max", "mean" or "sum/11"; "" for a
// group that is not scored.
std::string scoringName(Scoring scoring);

// Said before a batch whose group 0 is scored with the fixed divisor but has another number of
// agents; "" otherwise.
std::string fixedDivisorWarning(const SimuParameters& params, bool fitnessStatsPrinted);
// Said after a batch in which a run scored more steps than the scores are divided by (an
// evaluation budget that runs past maxTotalSteps); "" otherwise.
std::string scoredStepsWarning(const SimuParameters& params, unsigned int mostScoredSteps);
