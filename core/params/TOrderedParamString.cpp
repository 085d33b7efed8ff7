#include "params/TOrderedParamString.h"

#include <atomic>
#include <utility>

int TOrderedParamString::NextId() {
    static std::atomic<int> counter{0};
    return ++counter;
}

TOrderedParamString::TOrderedParamString() : id_(NextId()) {}

TOrderedParamString::TOrderedParamString(int paramOrder, std::string paramKey, int fieldOrder,
                                         std::string fieldName, std::uint8_t rowType,
                                         std::uint8_t posType, bool regExt, bool oneLine, bool trim,
                                         int autoFormat, bool startLine, std::string endStr,
                                         bool endStrRegExp, bool mailAddress, bool mailName)
    : id_(NextId()),
      paramOrder_(paramOrder),
      paramKey_(std::move(paramKey)),
      fieldName_(std::move(fieldName)),
      fieldOrder_(fieldOrder),
      rowType_(rowType),
      posType_(posType),
      regExt_(regExt),
      oneLine_(oneLine),
      trim_(trim),
      autoFormat_(autoFormat),
      startLine_(startLine),
      endStr_(std::move(endStr)),
      endStrRegExp_(endStrRegExp),
      mailAddress_(mailAddress),
      mailName_(mailName) {}

bool TOrderedParamString::Equals(const TOrderedParamString& o) const {
    return id_ == o.id_ && paramOrder_ == o.paramOrder_ && paramKey_ == o.paramKey_ &&
           fieldName_ == o.fieldName_ && fieldOrder_ == o.fieldOrder_ && rowType_ == o.rowType_ &&
           posType_ == o.posType_ && regExt_ == o.regExt_ && oneLine_ == o.oneLine_ &&
           trim_ == o.trim_ && autoFormat_ == o.autoFormat_ && startLine_ == o.startLine_ &&
           endStr_ == o.endStr_ && endStrRegExp_ == o.endStrRegExp_ &&
           mailAddress_ == o.mailAddress_ && mailName_ == o.mailName_;
}

void TOrderedParamString::SetAutoFormat(int v) {
    autoFormat_ = (v >= 10 && v <= 9999) ? v : 0;
}

bool TOrderedParamString::IsSingleLineResult() const {
    return GetAutoFormat() <= 0 && (GetOneLine() || GetRowType() != RowMulti);
}

const std::string& TOrderedParamString::GetEndStr() const {
    static const std::string kNone;
    return posType_ == PosBody ? endStr_ : kNone;
}

bool TOrderedParamString::GetEndStrRegExp() const {
    return posType_ == PosBody && !endStr_.empty() && endStrRegExp_;
}

void TOrderedParamString::SetMailName(bool v) {
    if (!mailAddress_) {
        mailName_ = v;
    }
}

bool TOrderedParamString::GetMailName() const {
    return !mailAddress_ && mailName_;
}
