// The scoring of fitness groups in words, for the labelled reports and the warnings.
#include "scoring.h"

Scoring groupScoring(const SimuParameters& p, bool fitnessStatsPrinted, int group) {
    // Without statistics only group 0 is scored.
    if (!fitnessStatsPrinted && group != 0) return Scoring::None;
    if (p.agentsFitnessUseMax) return Scoring::BestAgent;
    return fitnessStatsPrinted ? Scoring::Mean : Scoring::SumOverFixedDivisor;
}

std::string scoringName(Scoring scoring) {
    switch (scoring) {
        case Scoring::BestAgent:
            return "max";
        case Scoring::Mean:
            return "mean";
        case Scoring::SumOverFixedDivisor:
            return "sum/" + std::to_string(kGroupZeroDivisor);
        case Scoring::None:
            break;
    }
    return "";
}

std::string fixedDivisorWarning(const SimuParameters& p, bool fitnessStatsPrinted) {
    // Without fitness groups the report has no score at all.
    if (p.nFitnessGroups < 1 || groupScoring(p, fitnessStatsPrinted, 0) != Scoring::SumOverFixedDivisor) return "";
    const int agents =
        p.lastFitnessAgent[0] >= p.firstFitnessAgent[0] ? p.lastFitnessAgent[0] - p.firstFitnessAgent[0] + 1 : 0;
    // An empty group scores 0 either way.
    if (agents == kGroupZeroDivisor || agents == 0) return "";
    return "fitness group 0 has " + std::to_string(agents) + (agents == 1 ? " agent" : " agents") +
           ", but without --print-stats its score is their fitness summed and divided by " +
           std::to_string(kGroupZeroDivisor) +
           " (agentsFitnessUseMax 0), not their mean; --print-stats scores the mean";
}

std::string scoredStepsWarning(const SimuParameters& p, unsigned int mostScoredSteps) {
    if (mostScoredSteps <= p.lastStepsUsedForFitness) return "";
    return "the longest run scored " + std::to_string(mostScoredSteps) +
           " steps, but the scores are divided by lastStepsUsedForFitness " +
           std::to_string(p.lastStepsUsedForFitness) + ": with maxTotalEvals " + std::to_string(p.maxTotalEvals) +
           " runs go on past maxTotalSteps " + std::to_string(p.maxTotalSteps) + ", and every step after step " +
           std::to_string(p.maxTotalSteps - p.lastStepsUsedForFitness) + " is scored";
}
