// Enumerations of the model: visits, memories, search and strategy types, fitness measures.
#pragma once

enum VisitType { VisitTypeInit = 0, VisitTypeCheck, VisitTypeStep, VisitTypeRevisit, VisitTypeNum };

enum MemType { MemTypePublic = 0, MemTypePrivate, MemTypeGroup, MemTypeBest, MemTypeNum };

enum SearchType { SearchTypeExploit = 0, SearchTypeExplore, SearchTypeRecombination, SearchTypeNum };

enum StrategyType {
    StrategyType0 = 0,
    StrategyType1,
    StrategyType2,
    StrategyType3,
    StrategyType4,
    StrategyType5,
    StrategyType6,
    StrategyTypeNum
};

enum CoarseValue { CoarseValueLo = 0, CoarseValueHi, CoarseValueNum };

enum FitType {
    FitTypeMaxMemFinal = 0,
    FitTypeMaxInPhaseLast,
    FitTypeMaxInPhaseAvg,
    FitTypeMaxInCurStep,
    FitTypeMaxInCurStepReal,
    FitTypeAvgInPhaseReal,
    FitTypeNum
};
