#pragma once
// Common part of the readers of a folder with one mail per file. The folder
// is listed once, at construction: files only (sub-folders are skipped), in a
// stable order, by name compared without regard to case. Only plain files
// inside the folder are mails (TStoreBoundary); other entries the reader
// would take by their name are counted. A missing folder has
// no mails; one that cannot be listed throws TKestrifyError. Each mail's file is read when the mail
// is asked for, so files of different mails can be read on different threads at once.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TMappedFile.h"
#include "mail/TStoreBoundary.h"

class TFolderParser : public TBasicMailParser {
  public:
    int GetCount() override;
    // The lines of file `index`; throws TKestrifyError when it cannot be read.
    virtual TLines GetMailLines(int index);
    void AppendRawHeader(int index, std::string& out) override;

    const std::vector<std::filesystem::path>& Files() const { return files_; }
    // A mail lives in its own file.
    TMailPlace Place(int index) const override {
        return {TMailPlace::TKind::OwnFile, 0, files_.at(static_cast<std::size_t>(index)), 0};
    }
    int SkippedEntries() const override { return skipped_; }

  protected:
    // `accept` is given each file name (UTF-8, as on disk).
    TFolderParser(const std::string& sjisFolder,
                  const std::function<bool(std::string_view)>& accept);

    // The mapped file of mail `index`; its lines are split by the caller.
    std::unique_ptr<TMappedFile> OpenMail(int index) const;
    // Its lines, valid until this thread splits the next file.
    static std::span<const std::string_view> SplitLines(const TMappedFile& file);

  private:
    std::vector<std::filesystem::path> files_;
    std::optional<TStoreBoundary> boundary_;  // none for a folder that is not there
    int skipped_ = 0;
};
