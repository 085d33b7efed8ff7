#include "params/TParamCheck.h"

#include "regex/TJre.h"

namespace {

bool Compiles(const std::string& pattern, std::string& message) {
    return TJre::Instance().Compile(pattern, &message);
}

}  // namespace

std::vector<TParamCheck::TRegexError> TParamCheck::RegexErrors(
    const std::vector<TOrderedParamString>& params) {
    std::vector<TRegexError> errors;
    if (!TJre::IsAvailable()) {
        return errors;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        const TOrderedParamString& p = params[i];
        if (p.GetPosType() != TOrderedParamString::PosBody) {
            continue;
        }
        const int n = static_cast<int>(i);
        std::string message;
        // "^" alone is the classic "every line" key, never compiled.
        if (p.GetRegExt() && !p.GetParamKey().empty() && p.GetParamKey() != "^" &&
            !Compiles(p.GetParamKey(), message)) {
            errors.push_back({n, "PARAM_KEY" + std::to_string(n), message});
        }
        if (p.GetEndStrRegExp() && !Compiles(p.GetEndStr(), message)) {
            errors.push_back({n, "ENDSTR" + std::to_string(n), message});
        }
    }
    return errors;
}
