#pragma once
// A reader of one mail store. Constructed from the store's path; destroying
// it closes the store. After GetCount() has been called once, GetMail() may
// be called from several threads at once for different indexes.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mail/TBasicMail.h"
#include "mail/TMailOptions.h"
#include "mail/TMailPlace.h"

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

    // Where mail `index` (0 .. GetCount() - 1) lives. Unknown here: such mails
    // are told apart between runs by their identity alone.
    virtual TMailPlace Place(int /*index*/) const { return {}; }
    // The text the mails are cut from, for a store that is one file (places
    // InText); none for other stores.
    virtual std::optional<std::string_view> StoreText() const { return std::nullopt; }
    // How the store numbers its mails (places Numbered); none for others.
    virtual std::optional<TMailPlace::TNumbering> Numbering() const { return std::nullopt; }
    // For a run of only new mail, before the first GetCount: a store that
    // numbers its mails lists only those above `number` when its epoch is
    // still `epoch`. False, and every mail, otherwise.
    virtual bool ListAfter(std::uint32_t /*epoch*/, std::uint32_t /*number*/) { return false; }
    // Before the first GetMail: only the mails at `indexes` (ascending) are
    // read, as mails 0, 1, … (true), so the others are never fetched; false
    // for a store that reads each mail only when asked anyway.
    virtual bool KeepOnly(const std::vector<int>& /*indexes*/) { return false; }
    // Entries of a folder store that looked like mails but were no mail
    // files it may read (links out of the store, FIFOs, devices, folders),
    // skipped when it was opened; the summary tells how many.
    virtual int SkippedEntries() const { return 0; }

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
