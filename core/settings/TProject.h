#pragma once
// A whole project as one value: the mail store, the extraction parameters,
// the CSV save options and the result window's geometry. TSettingFile reads
// and writes it.
//
// Adding a key to the project: a member below (its initial value is what a
// file without the key reads as) and a row in Keys().

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "params/TOrderedParamString.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TParamFormConvert.h"

class TProject;

// One key of the file that holds one plain value of the project.
struct TProjectKey {
    using TText = std::string TProject::*;
    using TFlag = bool TProject::*;
    using TNumber = int TProject::*;
    // What a number outside [low, high] reads as: the initial value, or the
    // number itself (reported all the same; the Convert checks refuse it;
    // a negative one leaves the value as it was).
    enum class TOutOfRange { Initial, Kept };
    // When the key is written: always, or once it differs from its initial
    // value or the file has it (a project that never used it keeps its bytes).
    enum class TWrite { Always, OnceUsed };

    const char* section;
    const char* name;
    std::variant<TText, TFlag, TNumber> member;
    // Numbers, and flags written as 0 or 1 that must be one of them: the
    // range (none when low == high).
    int low = 0;
    int high = 0;
    TOutOfRange outOfRange = TOutOfRange::Initial;
    TWrite write = TWrite::Always;
};

class TProject {
  public:
    // [EML]
    int mailType = 0;
    std::string location;    // DIRECTORY, Shift_JIS, as written
    std::string imapCaFile;  // IMAP: extra CA certificates (PEM), Shift_JIS path
    std::vector<TOrderedParamString> params;
    // HTMLTEXT: HTML-only mails read as text (TMailOptions::htmlText). Off
    // without the key: an old project's expressions may match the markup.
    bool htmlText = false;
    // [CSV]
    bool makeBackup = true;
    std::string saveFileName;
    int saveType = TCSVSaveParam::Overwrite;
    bool onlyNew = false;  // convert only the mails not yet in the CSV, and append
    // [FORM_CONVERT]; none: a write leaves the file's section as it is.
    std::optional<TParamFormConvert> convertForm;

    // The keys in the order a new file lists them; the parameter list
    // follows the [EML] keys.
    static std::span<const TProjectKey> Keys();

    TCSVSaveParam CsvSaveParam() const;
    void SetCsvSaveParam(const TCSVSaveParam& save);
};
