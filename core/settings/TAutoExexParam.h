#pragma once
// The settings of one automatic run: which project, which CSV file, and how
// to save. Also yields the argument text a batch file passes to the program.

#include <optional>
#include <string>

class TAutoExexParam {
  public:
    void SetParamFile(const std::string& v) { paramFile_ = v; }
    const std::string& GetParamFile() const { return paramFile_; }
    void SetCsvFile(const std::string& v) { csvFile_ = v; }
    const std::string& GetCsvFile() const { return csvFile_; }
    void SetSaveType(int v) { saveType_ = v; }
    int GetSaveType() const { return saveType_; }
    void SetMakeBackup(bool v) { makeBackup_ = v; }
    bool GetMakeBackup() const { return makeBackup_; }
    // "--only-new" or "--all" after the arguments: instead of the project's
    // ONLYNEW; none when neither was given.
    void SetOnlyNew(std::optional<bool> v) { onlyNew_ = v; }
    std::optional<bool> GetOnlyNew() const { return onlyNew_; }

    // "<project>" "<csv>" <save type> <1|0>. File systems here have no short
    // names, so the project path is used as it is.
    std::string GetCommandLine() const;

    // Double quotes around the text, inner double quotes doubled.
    static std::string Quote(const std::string& text);

  private:
    std::string paramFile_;
    std::string csvFile_;
    int saveType_ = 0;
    bool makeBackup_ = false;
    std::optional<bool> onlyNew_;
};
