#pragma once
// One extraction parameter: one CSV column. A plain value class, copied
// freely; copies share the Id of the parameter they came from.

#include <cstdint>
#include <string>

class TOrderedParamString {
  public:
    enum RowTypes : std::uint8_t { RowMulti = 0, RowSingle = 1, RowEmpty = 2 };
    enum PosTypes : std::uint8_t { PosBody = 0, PosHeader = 1, PosEmpty = 2 };

    TOrderedParamString();
    TOrderedParamString(int paramOrder, std::string paramKey, int fieldOrder, std::string fieldName,
                        std::uint8_t rowType, std::uint8_t posType, bool regExt, bool oneLine,
                        bool trim, int autoFormat, bool startLine, std::string endStr,
                        bool endStrRegExp, bool mailAddress, bool mailName);
    TOrderedParamString(const TOrderedParamString&) = default;
    TOrderedParamString& operator=(const TOrderedParamString&) = default;
    virtual ~TOrderedParamString() = default;

    int GetId() const { return id_; }

    virtual void SetParamOrder(int v) { paramOrder_ = v; }
    virtual int GetParamOrder() const { return paramOrder_; }
    virtual void SetParamKey(const std::string& v) { paramKey_ = v; }
    virtual const std::string& GetParamKey() const { return paramKey_; }
    virtual void SetFieldOrder(int v) { fieldOrder_ = v; }
    virtual int GetFieldOrder() const { return fieldOrder_; }
    virtual void SetFieldName(const std::string& v) { fieldName_ = v; }
    virtual const std::string& GetFieldName() const { return fieldName_; }
    virtual void SetRowType(std::uint8_t v) { rowType_ = v; }
    virtual std::uint8_t GetRowType() const { return rowType_; }
    virtual void SetPosType(std::uint8_t v) { posType_ = v; }
    virtual std::uint8_t GetPosType() const { return posType_; }
    virtual void SetRegExt(bool v) { regExt_ = v; }
    virtual bool GetRegExt() const { return regExt_; }
    virtual void SetOneLine(bool v) { oneLine_ = v; }
    virtual bool GetOneLine() const { return oneLine_; }
    // Every field equal, Id included.
    virtual bool Equals(const TOrderedParamString& other) const;
    virtual std::uint8_t GetRowTypeValue() const { return rowType_; }
    virtual void SetTrim(bool v) { trim_ = v; }
    virtual bool GetTrim() const { return trim_; }
    // Stored only within 10..9999, otherwise 0.
    virtual void SetAutoFormat(int v);
    virtual int GetAutoFormat() const { return autoFormat_; }
    // The value can contain no line break.
    virtual bool IsSingleLineResult() const;
    virtual void SetStartLine(bool v) { startLine_ = v; }
    virtual bool GetStartLine() const { return startLine_; }
    virtual void SetEndStr(const std::string& v) { endStr_ = v; }
    // Empty unless this is a body parameter.
    virtual const std::string& GetEndStr() const;
    virtual void SetEndStrRegExp(bool v) { endStrRegExp_ = v; }
    virtual bool GetEndStrRegExp() const;
    virtual void SetMailAddress(bool v) { mailAddress_ = v; }
    virtual bool GetMailAddress() const { return mailAddress_; }
    // Ignored while MailAddress is set.
    virtual void SetMailName(bool v);
    virtual bool GetMailName() const;

    // Column order: compares FieldOrder only.
    bool operator<(const TOrderedParamString& other) const {
        return fieldOrder_ < other.fieldOrder_;
    }

  private:
    static int NextId();

    std::int32_t id_;
    std::int32_t paramOrder_ = -1;
    std::string paramKey_;
    std::string fieldName_;
    std::int32_t fieldOrder_ = -1;
    std::uint8_t rowType_ = RowSingle;
    std::uint8_t posType_ = PosBody;
    bool regExt_ = false;
    bool oneLine_ = false;
    bool trim_ = false;
    std::int32_t autoFormat_ = 0;
    bool startLine_ = true;
    std::string endStr_;
    bool endStrRegExp_ = false;
    bool mailAddress_ = false;
    bool mailName_ = false;
};
