#pragma once
// A mail store in memory for converter tests: mail i has the subject "s<i>"
// and the body line "Name: n<i>"; chosen mails fail as a reader or the
// regular-expression engine would fail. Safe for concurrent GetMail calls.

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "base/TKestrifyError.h"
#include "mail/TBasicMailParser.h"
#include "mail/TStoreChangedError.h"
#include "regex/TJreException.h"

class TFakeMail : public TBasicMail {
  public:
    explicit TFakeMail(int i) {
        ++live;
        header_["SUBJECT:"] = {"s" + std::to_string(i)};
        body_ = {"Name: n" + std::to_string(i), "other"};
    }
    ~TFakeMail() override { --live; }
    const THeaderMap& GetHeader() const override { return header_; }
    const TLines& GetBody() const override { return body_; }
    std::string GetBoundary() override { return ""; }

    static inline std::atomic<int> live{0};

  private:
    THeaderMap header_;
    TLines body_;
};

class TFakeReader : public TBasicMailParser {
  public:
    enum class TFailure { Reader, Regex, Other, StoreChanged };

    explicit TFakeReader(int count) : count_(count) {}

    // Mail `index` (from 0) fails in this way.
    TFakeReader& FailAt(int index, TFailure how) {
        failures_[index] = how;
        return *this;
    }
    // GetCount fails from its n-th call on (1-based).
    TFakeReader& FailCountFrom(int call) {
        failCountFrom_ = call;
        return *this;
    }

    int GetCount() override {
        if (failCountFrom_ > 0 && ++countCalls_ >= failCountFrom_) {
            throw TKestrifyError("count failed");
        }
        return count_;
    }
    std::unique_ptr<TBasicMail> GetMail(int index) override {
        const auto it = failures_.find(index);
        if (it != failures_.end()) {
            switch (it->second) {
                case TFailure::Reader:
                    throw TKestrifyError("broken mail " + std::to_string(index));
                case TFailure::Regex:
                    throw TJreException("bad pattern");
                case TFailure::Other:
                    throw 42;
                case TFailure::StoreChanged:
                    throw TStoreChangedError();
            }
        }
        return std::make_unique<TFakeMail>(index);
    }

  private:
    int count_;
    std::map<int, TFailure> failures_;
    int failCountFrom_ = 0;
    int countCalls_ = 0;
};
