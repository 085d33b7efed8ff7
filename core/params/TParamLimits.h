#pragma once
// How many parameters a project holds: the parameter grid takes no more, and a
// project file that names more is read up to this many.

struct TParamLimits {
    static constexpr int MaxParams = 256;
};
