#pragma once
// A reader of one mail store. Constructed from the store's path; destroying
// it closes the store. After GetCount() has been called once, GetMail() may
// be called from several threads at once for different indexes.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mail/TBasicMail.h"
#include "mail/TMailOptions.h"

class TBasicMailParser {
  public:
    virtual ~TBasicMailParser() = default;

    virtual int GetCount() = 0;
    // index from 0; throws TKestrifyError when the mail cannot be read.
    virtual std::unique_ptr<TBasicMail> GetMail(int index) = 0;

    // How the mails are parsed (the warning callback). Set before the first
    // GetMail, never while mails are being read.
    void SetOptions(TMailOptions options) { options_ = std::move(options); }
    const TMailOptions& Options() const { return options_; }

  protected:
    // Raw mail lines as owned texts, 0 bytes dropped (damage, not text).
    static TLines WithoutZeroBytes(std::span<const std::string_view> lines) {
        TLines out(lines.begin(), lines.end());
        for (std::string& line : out) {
            std::erase(line, '\0');
        }
        return out;
    }

  private:
    TMailOptions options_;
};
