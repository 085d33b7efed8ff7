#pragma once
// The ordered parameter list behind the parameter grid. It keeps two
// numberings: ParamOrder (body key search order) and FieldOrder (CSV column
// order), each optionally renumbered to the list index after every change.

#include <vector>

#include "params/TGridParamString.h"

class TGridParamList {
  public:
    void Add(const TOrderedParamString& param);
    void Remove(int i);
    void Clear() { entries_.clear(); }
    void MoveUp(int i);
    void MoveDown(int i);
    TGridParamString Get(int i) const { return entries_.at(i); }
    void Set(int i, const TOrderedParamString& param);
    int Count() const { return static_cast<int>(entries_.size()); }

    void SetAutoSetFieldNumber(bool v) { autoSetFieldNumber_ = v; }
    bool GetAutoSetFieldNumber() const { return autoSetFieldNumber_; }
    void SetAutoSetParamOrder(bool v) { autoSetParamOrder_ = v; }
    bool GetAutoSetParamOrder() const { return autoSetParamOrder_; }

  private:
    void Renumber();
    void SetOrdersAt(int i);

    std::vector<TGridParamString> entries_;
    bool autoSetFieldNumber_ = false;
    bool autoSetParamOrder_ = true;
};
