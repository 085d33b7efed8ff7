#pragma once
// Common part of the readers of a mail folder whose files are named by
// number (Maildir's delivery time, MH's mail number). The folders are listed
// once, at construction; a mail keeps only its name (in large shared blocks)
// and which sub-folder holds it, so a million mails cost tens of bytes each.
// Only plain files inside the folder are mails (TStoreBoundary); the other
// entries named like mails are counted. Each mail's file is read when the
// mail is asked for, from any thread, up to the size it had when opened; a
// file gone since the listing is that mail's read failure.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TDirectoryReader.h"
#include "mail/TMappedFile.h"
#include "mail/TStoreBoundary.h"

class TNumberedFileParser : public TBasicMailParser {
  public:
    int GetCount() override;
    std::unique_ptr<TBasicMail> GetMail(int index) override;
    // The lines of mail `index`; throws TKestrifyError when it cannot be read.
    TLines GetMailLines(int index);
    void AppendRawHeader(int index, std::string& out) override;

    // Which file mail `index` is, for telling mails apart between runs: its
    // name as on disk and its path. Throws for a bad index.
    std::string_view MailName(int index) const;
    std::filesystem::path MailPath(int index) const;
    TMailPlace Place(int index) const override {
        return {TMailPlace::TKind::OwnFile, 0, MailPath(index), 0};
    }

    int SkippedEntries() const override { return skipped_; }

    ~TNumberedFileParser() override;
    TNumberedFileParser(const TNumberedFileParser&) = delete;
    TNumberedFileParser& operator=(const TNumberedFileParser&) = delete;

  protected:
    explicit TNumberedFileParser(const std::string& sjisFolder);

    const std::filesystem::path& Folder() const { return folder_; }
    // Lists `sub` ("" for the folder itself) and keeps the files whose names
    // `accept` takes; the other entries so named are counted as skipped,
    // sub-folders only when `folders` says they are no place there. False
    // when the folder does not exist.
    enum class TSubFolders { Skipped, Silent };
    bool AddFiles(const std::string& sub, bool (*accept)(std::string_view name),
                  TSubFolders folders);
    // Puts the mails in the order of TMaildirName::Before.
    void Sort();

  private:
    struct TEntry {
        // The order of TMaildirName::Before where it can be told by a
        // number: the time at the start of the name, or past all of them.
        std::uint64_t key;
        // Within one time: TMaildirName::OrderKey of the rest of the name.
        std::uint64_t restKey;
        const char* name;
        std::uint16_t size;
        std::uint16_t sub;
    };
    static constexpr std::size_t kBlockSize = 256 * 1024;

    const TEntry& Entry(int index) const;
    // A copy of `name` ended by a 0 byte, for opening the file by it.
    std::string_view Keep(std::string_view name);
    // The bytes of mail `index`: in this thread's reused buffer, or mapped
    // into `large` when the file is large. Valid until the thread's next
    // Load. Throws TKestrifyError when the file cannot be read.
    std::string_view Load(int index, std::unique_ptr<TMappedFile>& large) const;

    std::filesystem::path folder_;
    TStoreBoundary boundary_;
    int skipped_ = 0;  // entries named like mails that are no mail files
    std::vector<std::string> subs_;
    // Each sub-folder stays open, so that a mail file is opened by its name
    // alone and not its whole path (-1: none).
    std::vector<int> subFds_;
    std::vector<std::filesystem::path> subPaths_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_ = kBlockSize;
    std::vector<TEntry> entries_;
};
