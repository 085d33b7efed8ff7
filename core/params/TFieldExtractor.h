#pragma once
// Field extraction: turns one decoded mail into one value per parameter.
// Header parameters are looked up by header name; body parameters are
// located in one pass over the body lines in parameter order.

#include <map>
#include <optional>
#include <span>
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
    // The same values written straight into `row`, whose index is the
    // FieldOrder: every parameter's FieldOrder must be below row.size().
    // Entries of no parameter are left as they are.
    static void ExtractRow(const TBasicMail& mail,
                           const std::vector<TOrderedParamString>& headerParams,
                           const std::vector<TOrderedParamString>& bodyParams,
                           std::vector<std::string>& row);

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

    // Where a body parameter's value comes from: the line its key was found
    // on and the lines [first, end) its value is taken from (the key line
    // itself when the value starts there; first == end when nothing is).
    struct TBodySpan {
        std::size_t param;  // index into bodyParams
        std::size_t keyLine;
        std::size_t first;
        std::size_t end;
    };
    // The spans of the body parameters found in `body`, in line order: the
    // same search ExtractValues makes.
    static std::vector<TBodySpan> LocateBodyValues(
        const TLines& body, const std::vector<TOrderedParamString>& bodyParams);

  private:
    struct TKeyLine;
    class TSlots;
    static void Extract(const TBasicMail& mail,
                        const std::vector<TOrderedParamString>& headerParams,
                        const std::vector<TOrderedParamString>& bodyParams, TSlots& values);
    using TBodyLines = std::span<const std::string_view>;
    static void FillHeaderValues(const TBasicMail& mail,
                                 const std::vector<TOrderedParamString>& headerParams,
                                 TSlots& values);
    static void FindKeyLines(TBodyLines body, const std::vector<TOrderedParamString>& bodyParams,
                             std::vector<TKeyLine>& keyLines);
    static void CollectBodyValues(TBodyLines body,
                                  const std::vector<TOrderedParamString>& bodyParams,
                                  const std::vector<TKeyLine>& keyLines, TSlots& values);
    // One past the last line a multi-line value takes below its key line:
    // its end line, `stop` (the next key line) or the end of the body.
    static std::size_t CaptureEnd(TBodyLines body, const TOrderedParamString& param,
                                  std::size_t keyLine, std::size_t stop);
    static void FinishBodyValues(const std::vector<TOrderedParamString>& bodyParams,
                                 TSlots& values);
};
