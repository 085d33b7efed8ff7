#pragma once
// Checks of a parameter list that are worth saying before any mail is read.
// A regular expression that does not compile finds nothing, so its column
// would stay empty without a word.

#include <string>
#include <vector>

#include "params/TOrderedParamString.h"

class TParamCheck {
  public:
    struct TRegexError {
        int index;            // position in the list, as numbered in the project file
        std::string key;      // the project key: "PARAM_KEY3" or "ENDSTR3"
        std::string message;  // the engine's message (Shift_JIS)
    };

    // Every regular expression of the body parameters that does not compile.
    static std::vector<TRegexError> RegexErrors(const std::vector<TOrderedParamString>& params);
};
