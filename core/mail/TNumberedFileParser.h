#pragma once
// Common part of the readers of a mail folder whose files are named by
// number (Maildir's delivery time, MH's mail number). The folders are listed
// once, at construction; a mail keeps only its name (in large shared blocks)
// and which sub-folder holds it, so a million mails cost tens of bytes each.
// Each mail's file is read when the mail is asked for, from any thread; a
// file gone since the listing is that mail's read failure.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TDirectoryReader.h"

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

  protected:
    explicit TNumberedFileParser(const std::string& sjisFolder);

    const std::filesystem::path& Folder() const { return folder_; }
    // Lists `sub` ("" for the folder itself) and keeps the files whose names
    // `accept` takes. False when the folder does not exist.
    bool AddFiles(const std::string& sub, bool (*accept)(std::string_view name));
    // Puts the mails in the order of TMaildirName::Before.
    void Sort();

  private:
    struct TEntry {
        const char* name;
        std::uint16_t size;
        std::uint16_t sub;
    };
    static constexpr std::size_t kBlockSize = 256 * 1024;

    const TEntry& Entry(int index) const;
    std::string_view Keep(std::string_view name);

    std::filesystem::path folder_;
    std::vector<std::string> subs_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_ = kBlockSize;
    std::vector<TEntry> entries_;
};
