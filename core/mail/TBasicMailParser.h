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

    // Appends the raw header block of mail `index` (its lines as stored, each
    // ended by LF, up to the blank line) to `out`: what tells a mail from
    // another when only new mail is converted. Readers that hold the raw text
    // give it without decoding the mail; this default rebuilds the block
    // from the decoded header. Throws what GetMail throws.
    virtual void AppendRawHeader(int index, std::string& out);

    // How the mails are parsed (the warning callback). Set before the first
    // GetMail, never while mails are being read.
    virtual void SetOptions(TMailOptions options) { options_ = std::move(options); }
    const TMailOptions& Options() const { return options_; }

  protected:
    // Appends `lines` up to the first empty one, each ended by LF.
    static void AppendHeaderLines(std::span<const std::string_view> lines, std::string& out) {
        for (const std::string_view line : lines) {
            if (line.empty()) {
                break;
            }
            out.append(line).push_back('\n');
        }
    }

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

inline void TBasicMailParser::AppendRawHeader(int index, std::string& out) {
    const std::unique_ptr<TBasicMail> mail = GetMail(index);
    for (const auto& [key, values] : mail->GetHeader()) {
        for (const std::string& value : values) {
            out.append(key).append(" ").append(value).push_back('\n');
        }
    }
}
