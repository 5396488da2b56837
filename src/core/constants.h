// Enumerations shared by the whole model, the views and the window.
#pragma once

enum VisitType { VisitTypeInit = 0, VisitTypeCheck, VisitTypeStep, VisitTypeRevisit, VisitTypeNum };

enum MemType { MemTypePublic = 0, MemTypePrivate, MemTypeGroup, MemTypeBest, MemTypeNum };

enum SearchType { SearchTypeExploit = 0, SearchTypeExplore, SearchTypeRecombination, SearchTypeNum };

enum FollowMode {
    FollowModeFixedAgent = 0,
    FollowModeMovingAgent,
    FollowModeFixedAgentSearchStart,
    FollowModeMovingAgentSearchStart,
    FollowModeNum
};

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

enum VisualizationType {
    VisTypeNone = 0,
    VisTypeTerrain,
    VisTypeRectangularPolar,
    VisTypeCircularPolar,
    VisTypeTwistedPolar,
    VisTypeSphericalPolar
};

enum DotType {
    DotTypePublic = 0,
    DotTypePrivate,
    DotTypeGlobalMax,
    DotTypeLocalMax,
    DotTypeHistory,
    DotTypeConsidered1,
    DotTypeConsidered2,
    DotTypeConsidered3,
    DotTypeOther,
    DotTypeNum
};
