#pragma once
// Common part of the readers of a folder with one mail per file. The folder
// is listed once, at construction: files only (sub-folders are skipped), in a
// stable order, by name compared without regard to case. A missing folder has
// no mails; one that cannot be listed throws TKestrifyError. Each mail's file is read when the mail
// is asked for, so files of different mails can be read on different threads at once.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TMappedFile.h"

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

  protected:
    // `accept` is given each file name (UTF-8, as on disk).
    TFolderParser(const std::string& sjisFolder,
                  const std::function<bool(std::string_view)>& accept);

    // The mapped file of mail `index`; its lines are split by the caller.
    std::unique_ptr<TMappedFile> OpenMail(int index) const;
    static std::vector<std::string_view> SplitLines(const TMappedFile& file);

  private:
    std::vector<std::filesystem::path> files_;
};
