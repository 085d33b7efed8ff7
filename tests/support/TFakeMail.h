#pragma once
// An in-memory mail record for extraction tests.

#include <initializer_list>
#include <string>
#include <utility>

#include "mail/TBasicMail.h"

class TFakeMail : public TBasicMail {
  public:
    TFakeMail() = default;
    explicit TFakeMail(TLines body) : body_(std::move(body)) {}

    // `name` as the readers store it: upper-cased, with its colon.
    TFakeMail& AddHeader(const std::string& name, const std::string& value) {
        header_[name].push_back(value);
        return *this;
    }

    const THeaderMap& GetHeader() const override { return header_; }
    const TLines& GetBody() const override { return body_; }
    std::string GetBoundary() override { return {}; }

  private:
    THeaderMap header_;
    TLines body_;
};
