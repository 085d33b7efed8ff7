#pragma once
// What the parameter editor's preview shows for one mail of the current
// store: the decoded mail, where one parameter's value was found in it, and
// the text its CSV cell holds. Rows are built by the converter itself, with
// the project's other parameters around the previewed one, so the value is
// the cell a conversion writes. Only the mails asked for are read.
// One thread uses an instance at a time (TPreviewWorker's).

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "convert/TCSVConverter.h"
#include "imap/TImapAccess.h"
#include "mail/TBasicMailParser.h"
#include "params/TFieldExtractor.h"

struct TPreviewShot {
    int index = -1;                          // the mail shown (from 0); -1 when there is none
    int count = 0;                           // mails in the store
    std::shared_ptr<const TBasicMail> mail;  // null when there is none or it is unreadable
    std::string problem;  // Shift_JIS: why there is no store, mail or value; empty otherwise
    std::string value;    // the cell text, before CSV quoting
    // A header parameter: the header name its values are looked up under.
    std::string headerKey;
    // A body parameter found in this mail: its key line and the lines taken.
    std::optional<TFieldExtractor::TBodySpan> span;
    std::vector<std::string> warnings;  // Shift_JIS: header decoding warnings of this mail
};

struct TPreviewSearch {
    std::optional<int> found;  // the next mail with a value
    bool stopped = false;      // the search was stopped before it ended
};

class TMailPreview {
  public:
    TMailPreview() = default;
    TMailPreview(const TMailPreview&) = delete;
    TMailPreview& operator=(const TMailPreview&) = delete;
    ~TMailPreview();

    // Opens the store the Convert command would open, after its location
    // check (whose message becomes the problem of every shot). May take a
    // moment: readers index their store. `htmlText`: HTML-only mails are
    // shown as the text the parameters see (TMailOptions). `imap`: what an
    // IMAP store needs besides its URL; its mails are fetched a few at a
    // time, never far ahead of the one shown.
    void Open(int mailType, const std::string& sjisLocation, bool htmlText = false,
              const TImapAccess& imap = {});
    int Count() const { return count_; }

    // The project's parameters in list order, with the previewed one at
    // `position`.
    void SetParams(std::vector<TOrderedParamString> params, std::size_t position);

    // Mail `index`, clamped into the store.
    TPreviewShot Show(int index);

    // The first mail after `index` whose value is not empty. Unreadable
    // mails are passed over. `progress` hears of each mail looked at.
    TPreviewSearch FindNext(int index, const std::stop_token& stop,
                            const std::function<void(int index)>& progress);

  private:
    class TBorrowedReader;

    std::shared_ptr<const TBasicMail> ReadMail(int index, std::string* problem);
    std::string ValueOf(const TBasicMail& mail) const;

    std::unique_ptr<TBasicMailParser> reader_;
    std::string storeProblem_;
    int count_ = 0;
    std::vector<std::string> warnings_;
    // Declared after the reader it borrows, so it goes first.
    std::unique_ptr<TCSVConverter> converter_;
    std::vector<TOrderedParamString> params_;
    std::size_t position_ = 0;
    std::optional<std::size_t> bodyIndex_;  // position among the body parameters
    int cachedIndex_ = -1;
    std::shared_ptr<const TBasicMail> cachedMail_;
    std::string cachedProblem_;
    std::vector<std::string> cachedWarnings_;
};
