#pragma once
// Short builders for extraction parameters in tests.

#include <cstdint>
#include <string>

#include "params/TOrderedParamString.h"

// A parameter of the given kinds with every option at its default.
inline TOrderedParamString PlainParam(const std::string& key, int fieldOrder,
                                      const std::string& fieldName, std::uint8_t rowType,
                                      std::uint8_t posType, int paramOrder = -1) {
    TOrderedParamString p;
    p.SetParamOrder(paramOrder);
    p.SetParamKey(key);
    p.SetFieldOrder(fieldOrder);
    p.SetFieldName(fieldName);
    p.SetRowType(rowType);
    p.SetPosType(posType);
    return p;
}

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
