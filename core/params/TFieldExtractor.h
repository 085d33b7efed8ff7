#pragma once
// Field extraction: turns one decoded mail into one value per parameter.
// Header parameters are looked up by header name; body parameters are
// located in one pass over the body lines in parameter order.

#include <map>
#include <optional>
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

    // Whether `line` is a key line of `param`; if so, the text after the key
    // (a view into `line`): trimmed of bytes <= 0x20 for a plain key, as it
    // stands for a regular expression.
    static std::optional<std::string_view> MatchKey(const TOrderedParamString& param,
                                                    std::string_view line);

    // Whether `line` ends a multi-line value: it begins with `endStr`, or the
    // regular expression `endStr` matches in it.
    static bool LineMatchesEnd(std::string_view line, std::string_view endStr, bool regex);

    // A one-line body value cut before its end string (the last occurrence
    // of a plain end string, the first match of a regular one).
    static std::string CutAtEndString(const TOrderedParamString& param, std::string_view value);

  private:
    struct TKeyLine;
    static void FillHeaderValues(const TBasicMail& mail,
                                 const std::vector<TOrderedParamString>& headerParams,
                                 TValueMap& values);
    static void FindKeyLines(const TLines& body, const std::vector<TOrderedParamString>& bodyParams,
                             std::vector<TKeyLine>& keyLines);
    static void CollectBodyValues(const TLines& body,
                                  const std::vector<TOrderedParamString>& bodyParams,
                                  const std::vector<TKeyLine>& keyLines, TValueMap& values);
    static void FinishBodyValues(const std::vector<TOrderedParamString>& bodyParams,
                                 TValueMap& values);
};
