#pragma once

#include "params/TOrderedParamString.h"

// The parameter grid's entry type. It adds no fields; the grid derives its
// cell texts from the parameter.
class TGridParamString : public TOrderedParamString {
  public:
    using TOrderedParamString::TOrderedParamString;
    TGridParamString() = default;
    TGridParamString(const TOrderedParamString& p)
        : TOrderedParamString(p) {}  // NOLINT: implicit by design
};
