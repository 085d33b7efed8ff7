#pragma once
// Field extraction: turns one decoded mail into one value per parameter.
// Header parameters are looked up by header name; body parameters are
// located in one pass over the body lines in parameter order.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "mail/TBasicMail.h"
#include "params/TOrderedParamString.h"

// Values keyed by FieldOrder: parameters that share a FieldOrder share an
// entry, exactly as an ordering on FieldOrder alone would make them.
using TValueMap = std::map<int, std::string>;

class TFieldExtractor {
public:
    // headerParams: PosType 1, bodyParams: PosType 0, each in ParamOrder.
    // Throws TJreException when a regular-expression search fails.
    static TValueMap ExtractValues(const TBasicMail& mail,
                                   const std::vector<TOrderedParamString>& headerParams,
                                   const std::vector<TOrderedParamString>& bodyParams);
};
