#pragma once
// Reader of one folder file of a Thunderbird profile ("Inbox", "Sent", …
// without extension; the .msf index beside it is not read). An mbox with
// three differences: mails start at "From - " lines, mails flagged deleted
// in their X-Mozilla-Status headers stay in the file until it is compacted
// and are skipped here, and body lines the writer quoted as ">From " lose
// one ">". Folders of several gigabytes are mapped like any one-file store.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/TSplitFileParser.h"

class TThunderbirdParser : public TSplitFileParser {
  public:
    // Throws TKestrifyError when the file cannot be read. A large file is
    // searched for its mails on up to `threads` threads.
    explicit TThunderbirdParser(const std::string& sjisPath, int threads = 1);
    explicit TThunderbirdParser(std::unique_ptr<TMappedFile> file, int threads = 1);

    int GetCount() override;
    std::unique_ptr<TBasicMail> GetMail(int index) override;
    TLines GetMailLines(int index) override;
    void AppendRawHeader(int index, std::string& out) override;
    std::uint64_t MailStart(int index) const override;

  private:
    // Keeps the mails not starting at one of the `deleted` offsets.
    void SkipDeleted(std::vector<std::uint64_t> deleted);
    // The separator number of mail `index` (mails not deleted, in order).
    int Separator(int index) const;
    std::span<const std::string_view> Unquoted(std::span<const std::string_view> lines) const;

    bool anyDeleted_ = false;
    std::vector<std::uint32_t> kept_;  // separator numbers, when some are deleted
};
