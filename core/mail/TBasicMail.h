#pragma once
// The mail record every reader yields and the converter reads: decoded
// header values under the upper-cased header name with its colon
// ("SUBJECT:", "DATE:"), and the decoded body lines, all Shift_JIS.

#include <map>
#include <string>
#include <vector>

using THeaderMap = std::map<std::string, std::vector<std::string>>;
using TLines = std::vector<std::string>;

class TBasicMail {
  public:
    virtual ~TBasicMail() = default;

    virtual const THeaderMap& GetHeader() const = 0;
    virtual const TLines& GetBody() const = 0;
    // The multipart boundary text, or empty.
    virtual std::string GetBoundary() = 0;
};
