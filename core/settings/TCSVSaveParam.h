#pragma once
// The CSV save options of a project.

#include <cstdint>
#include <string>

class TCSVSaveParam {
  public:
    enum SaveTypes : std::uint8_t { Overwrite = 0, Append = 1 };

    void SetSaveFileName(const std::string& v) {
        if (v != saveFileName_) {
            saveFileName_ = v;
        }
    }
    const std::string& GetSaveFileName() const { return saveFileName_; }
    void SetSaveType(std::uint8_t v) {
        if (v != saveType_) {
            saveType_ = v;
        }
    }
    std::uint8_t GetSaveType() const { return saveType_; }
    void SetMakeBackup(bool v) {
        if (v != makeBackup_) {
            makeBackup_ = v;
        }
    }
    bool GetMakeBackup() const { return makeBackup_; }
    // Convert only the mails not yet converted into the file, and append.
    void SetOnlyNew(bool v) { onlyNew_ = v; }
    bool GetOnlyNew() const { return onlyNew_; }

    bool operator==(const TCSVSaveParam&) const = default;

  private:
    std::string saveFileName_;
    std::uint8_t saveType_ = Overwrite;
    bool makeBackup_ = true;
    bool onlyNew_ = false;
};
