#pragma once
// Common part of the readers that cut one text file into mails at separator
// lines (mbox, Eudora, Shuriken). The file is mapped, not loaded: the reader
// keeps only the offsets at which mails start, and a mail's lines are views
// into the mapping, so only the requested mail is ever copied.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "base/LineSplitter.h"
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
    void AppendRawHeader(int index, std::string& out) override;

    // The file's text, without a UTF-8 byte-order mark.
    std::string_view Text() const { return text_; }
    // Where mail `index` (its separator line included) starts in Text();
    // it ends where the next one starts, or at the end of the text.
    virtual std::uint64_t MailStart(int index) const;
    // A mail lives in Text() from its start on.
    TMailPlace Place(int index) const override {
        return {TMailPlace::TKind::InText, MailStart(index), {}, 0};
    }
    std::optional<std::string_view> StoreText() const override { return text_; }

  protected:
    explicit TSplitFileParser(std::unique_ptr<TMappedFile> file);

    // Calls visit(offset, line, whole) for every line of the text, in order:
    // `offset` is where the line starts in Text(). A line holding a 0 byte
    // is given up to the 0 (`whole` false) and what follows the 0 is no line
    // start, so no separator; the lines after it are scanned as usual (the
    // mail keeps its text around the 0, which is dropped).
    template <typename TVisit>
    void ScanLines(TVisit&& visit) const;
    // Offset of the next separator line; called in ascending order.
    void AddStart(std::uint64_t offset);
    // Calls scan(from, to, add) for consecutive pieces [from, to) of the
    // text, on up to `threads` threads at once (pieces of at least 16 MiB),
    // and adds the starts it gives to add(offset), in order. Only the first
    // piece adds straight to the index; the others keep theirs until it is
    // done.
    template <typename TScan>
    void IndexInPieces(int threads, TScan scan);
    // Forgets the separators added so far.
    void ClearStarts();
    // The separators found, and the text from separator `index` (its line
    // included) up to the next one.
    std::size_t StartCount() const { return startCount_; }
    std::string_view RawMail(std::size_t index) const;

    // Throws TStoreChangedError once the file was found cut short while it
    // was read: the run ends instead of failing every mail that is left.
    void ThrowIfChanged() const;
    // Throws TStoreChangedError when `part` (of Text()) reached past the
    // end of a file cut short meanwhile.
    void CheckUnchanged(std::string_view part) const;

    // GetMailLines as views into the mapping; throws for a bad index. The
    // span is valid until the calling thread asks for the next mail.
    std::span<const std::string_view> MailLineViews(int index) const;

  private:
    // Mail starts in blocks that never move: 8 bytes a mail, and no copy of
    // the whole index while a store of millions of mails is scanned.
    static constexpr std::size_t kBlockBits = 13;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
    std::uint64_t Start(std::size_t index) const;

    std::unique_ptr<TMappedFile> file_;
    std::string_view text_;
    std::vector<std::unique_ptr<std::uint64_t[]>> startBlocks_;
    std::size_t startCount_ = 0;
};

template <typename TScan>
void TSplitFileParser::IndexInPieces(int threads, TScan scan) {
    constexpr std::size_t kMinPiece = std::size_t{16} << 20;
    const std::size_t size = text_.size();
    const std::size_t pieces = std::clamp<std::size_t>(
        size / kMinPiece, 1, static_cast<std::size_t>(std::max(threads, 1)));
    const auto bound = [&](std::size_t p) { return p == pieces ? size : size / pieces * p; };
    std::vector<std::vector<std::uint64_t>> later(pieces - 1);
    std::vector<std::exception_ptr> errors(pieces - 1);
    std::vector<std::jthread> helpers;  // joined also when the first piece throws
    // Each piece in windows whose pages are mapped in one call before they
    // are scanned: a fault every few pages would cost more than the scan.
    const auto bom = static_cast<std::size_t>(text_.data() - file_->View().data());
    const auto scanPiece = [&](std::size_t from, std::size_t to, auto&& add) {
        constexpr std::size_t kWindow = std::size_t{8} << 20;
        for (std::size_t at = from; at < to;) {
            const std::size_t end = to - at > kWindow ? at + kWindow : to;
            // The scan looks one byte past its window.
            file_->Prefault(bom + at, bom + std::min(end + 1, size));
            scan(at, end, add);
            at = end;
        }
    };
    const auto scanLater = [&](std::size_t p) {
        try {
            scanPiece(bound(p), bound(p + 1),
                      [&](std::uint64_t at) { later[p - 1].push_back(at); });
        } catch (...) {
            errors[p - 1] = std::current_exception();
        }
    };
    for (std::size_t p = 1; p < pieces; ++p) {
        try {
            helpers.emplace_back(scanLater, p);
        } catch (const std::system_error&) {
            scanLater(p);  // no thread to be had: done here
        }
    }
    scanPiece(0, bound(1), [this](std::uint64_t at) { AddStart(at); });
    for (std::jthread& helper : helpers) {
        helper.join();
    }
    for (std::size_t p = 1; p < pieces; ++p) {
        if (errors[p - 1]) {
            std::rethrow_exception(errors[p - 1]);
        }
        for (const std::uint64_t at : later[p - 1]) {
            AddStart(at);
        }
        std::vector<std::uint64_t>().swap(later[p - 1]);
    }
    ThrowIfChanged();  // the starts past a cut are no mails
}

template <typename TVisit>
void TSplitFileParser::ScanLines(TVisit&& visit) const {
    std::size_t pos = 0;
    bool atLineStart = true;  // false after a 0 byte: the piece continues a line
    // Stops where the file was cut short while it was scanned.
    while (pos < text_.size() && (pos == 0 || pos < file_->IntactSize())) {
        const void* nul = std::memchr(text_.data() + pos, '\0', text_.size() - pos);
        const std::size_t end =
            nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text_.data())
                : text_.size();
        const std::string_view piece = text_.substr(pos, end - pos);
        const bool endsInBreak = !piece.empty() && (piece.back() == '\n' || piece.back() == '\r');
        TLineSplitter splitter(piece);
        std::string_view line;
        for (std::size_t at = 0; splitter.Next(line); at = splitter.Position()) {
            if (at > 0 || atLineStart) {
                const bool cut =
                    nul != nullptr && splitter.Position() == piece.size() && !endsInBreak;
                visit(std::uint64_t{pos + at}, line, !cut);
            }
        }
        pos = end + 1;
        atLineStart = false;
    }
    ThrowIfChanged();  // the lines past a cut are no text of the file
}
