// Enumerations of visual mode: the landscape views, the looks of their dots, and how the
// spherical view follows the chosen agent.
#pragma once

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

enum FollowMode {
    FollowModeFixedAgent = 0,
    FollowModeMovingAgent,
    FollowModeFixedAgentSearchStart,
    FollowModeMovingAgentSearchStart,
    FollowModeNum
};
