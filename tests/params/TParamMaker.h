#pragma once
// Short builders for extraction parameters in tests.

#include <string>

#include "params/TOrderedParamString.h"

// A one-line body parameter taking the rest of the key line.
inline TOrderedParamString BodyParam(int fieldOrder, const std::string& key) {
    TOrderedParamString p;
    p.SetParamKey(key);
    p.SetFieldOrder(fieldOrder);
    p.SetParamOrder(fieldOrder);
    p.SetPosType(TOrderedParamString::PosBody);
    p.SetRowType(TOrderedParamString::RowSingle);
    return p;
}

// A multi-line body parameter starting on the line after the key.
inline TOrderedParamString MultiParam(int fieldOrder, const std::string& key,
                                      const std::string& endStr) {
    TOrderedParamString p = BodyParam(fieldOrder, key);
    p.SetRowType(TOrderedParamString::RowMulti);
    p.SetStartLine(false);
    p.SetEndStr(endStr);
    return p;
}

inline TOrderedParamString HeaderParam(int fieldOrder, const std::string& key) {
    TOrderedParamString p = BodyParam(fieldOrder, key);
    p.SetPosType(TOrderedParamString::PosHeader);
    return p;
}
