#pragma once
// Hands a whole parameter list on in one piece (to the converter, to the
// output order editor). Holds its own copies.

#include <vector>

#include "params/TOrderedParamString.h"

class TConvertParam {
  public:
    TConvertParam() = default;
    explicit TConvertParam(std::vector<TOrderedParamString> params) : params_(std::move(params)) {}
    virtual ~TConvertParam() = default;

    void SetParams(const std::vector<TOrderedParamString>& params) { params_ = params; }
    std::vector<TOrderedParamString> GetParams() const { return params_; }
    const std::vector<TOrderedParamString>& Params() const { return params_; }

  private:
    std::vector<TOrderedParamString> params_;
};
