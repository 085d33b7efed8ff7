#pragma once
// Common part of the readers that cut one text file into mails at separator
// lines (mbox, Eudora, Shuriken). The file is mapped, not loaded: the reader
// keeps only the offsets at which mails start, and a mail's lines are views
// into the mapping, so only the requested mail is ever copied.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TMappedFile.h"

class TSplitFileParser : public TBasicMailParser {
  public:
    int GetCount() override;
    // The raw lines of mail `index`: the lines after its separator line, up
    // to the next separator line or the end of the file. The one line just
    // before the next separator (or the file's last line) is left out when
    // it is empty: it is the blank line that ends a message in the store.
    virtual TLines GetMailLines(int index);

  protected:
    explicit TSplitFileParser(std::unique_ptr<TMappedFile> file);

    // The file's text: up to its first 0 byte, without a UTF-8 byte-order mark.
    std::string_view Text() const { return text_; }
    // Offsets of the separator lines, ascending.
    void SetStarts(std::vector<std::uint64_t> starts) { starts_ = std::move(starts); }

    // GetMailLines as views into the mapping; throws for a bad index.
    std::vector<std::string_view> MailLineViews(int index) const;

  private:
    std::unique_ptr<TMappedFile> file_;
    std::string_view text_;
    std::vector<std::uint64_t> starts_;
};
