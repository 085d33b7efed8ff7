#pragma once
// Mail dates ("Thu, 5 Jun 2003 10:05:09 +0900") turned into Japan time in
// the form "yyyy/m/d hh:nn:ss". Text that does not read as a date comes
// back unchanged.

#include <string>
#include <string_view>

class TDateNormalizer {
  public:
    static std::string NormalizeDate(std::string_view text);
};
