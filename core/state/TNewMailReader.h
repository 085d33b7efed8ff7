#pragma once
// A store seen through a choice of its mails: mail i is the reader's mail
// `indexes[i]`. The mails keep their numbers in the store for messages.

#include <memory>
#include <vector>

#include "mail/TBasicMailParser.h"

class TNewMailReader : public TBasicMailParser {
  public:
    TNewMailReader(std::unique_ptr<TBasicMailParser> store, std::vector<int> indexes)
        : store_(std::move(store)), indexes_(std::move(indexes)) {}

    int GetCount() override { return static_cast<int>(indexes_.size()); }
    std::unique_ptr<TBasicMail> GetMail(int index) override;
    void AppendRawHeader(int index, std::string& out) override;
    void SetOptions(TMailOptions options) override;
    int SkippedEntries() const override { return store_->SkippedEntries(); }

  private:
    int StoreIndex(int index) const;

    std::unique_ptr<TBasicMailParser> store_;
    std::vector<int> indexes_;
};
