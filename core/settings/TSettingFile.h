#pragma once
// One project file being read or written in one pass: the whole project
// (TProject). ".KFY" files (versions 3 and 4) are read as exact INI text;
// files with any other extension are the old read-only format (versions 0
// to 2), read the way the classic profile functions read. Writing always
// produces a version 4 ".KFY" file and keeps the keys and order the file had.

#include <string>
#include <vector>

#include "params/TOrderedParamString.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TProject.h"

class TIniDocument;

class TSettingFile {
  public:
    static constexpr int CurrentVersion = 4;

    // `fileName` is a Shift_JIS path. Nothing is read yet.
    explicit TSettingFile(std::string fileName) : fileName_(std::move(fileName)) {}

    // The path read from, or after Write() the path written to.
    const std::string& GetFileName() const { return fileName_; }

    // A missing file reads as an empty project; an unreadable one throws
    // TKestrifyError. A file saved as UTF-8 by a text editor (a byte-order
    // mark, or valid UTF-8 holding non-ASCII text) is converted first.
    void Read();

    // Read(), then refuses what holds no project (a missing file, random
    // bytes, any text without a project's section) with TKestrifyError
    // "<path>: プロジェクトファイルではありません。", the check the command makes.
    void ReadProject();

    // What the last Read() found, for callers that tell the user.
    // The file was UTF-8.
    bool WasUtf8() const { return wasUtf8_; }
    // The file holds one of the sections a project has ("EML", "CSV",
    // "SYSTEM", "FORM_CONVERT").
    bool HasProjectSection() const { return hasProjectSection_; }
    // Numbers outside their range, one Shift_JIS message per key naming it;
    // such a key reads as its default (MAILTYPE and AUTO_FORMAT keep the
    // number, which the Convert checks and the editor refuse).
    const std::vector<std::string>& GetRangeErrors() const { return rangeErrors_; }
    // Writes (creating or updating) the ".KFY" file; keys this writer does not
    // set stay as the file had them. Throws TKestrifyError on failure.
    void Write();

    // The project read, or the one Write() writes. A convertForm given
    // before Read() lends it the screen size its defaults come from.
    const TProject& Project() const { return project_; }
    TProject& Project() { return project_; }

    int GetMailType() const { return project_.mailType; }
    void SetMailType(int v) {
        if (v >= 0) {
            project_.mailType = v;
        }
    }
    std::string GetDirectory();
    void SetDirectory(const std::string& v) { project_.location = v; }
    // Extra CA certificates (a PEM file, Shift_JIS path) for an IMAP store.
    const std::string& GetImapCaFile() const { return project_.imapCaFile; }
    void SetImapCaFile(const std::string& v) { project_.imapCaFile = v; }
    std::vector<TOrderedParamString> GetParams();
    void AddParam(const TOrderedParamString& param) { project_.params.push_back(param); }
    TCSVSaveParam GetCSVSaveParam() const { return project_.CsvSaveParam(); }
    void SetCSVSaveParam(const TCSVSaveParam& v) { project_.SetCsvSaveParam(v); }

    // The file name a project is written under: the path unchanged when its
    // extension is ".KFY" in any case, otherwise with the extension replaced.
    static std::string KfyFileName(const std::string& path);
    // The extension from the last "." of the file name on, or empty.
    static std::string Extension(const std::string& path);
    static bool IsKfyFile(const std::string& path);

  private:
    void Load(TIniDocument& ini, const std::string& path);
    void ReadFrom(const TIniDocument& ini, bool newFormat);
    void ReadKey(const TIniDocument& ini, const TProjectKey& key);
    void ReadParams(const TIniDocument& ini, bool newFormat);
    static void WriteKey(TIniDocument& ini, const TProjectKey& key, const TProject& project);
    void WriteParams(TIniDocument& ini) const;
    int ReadRanged(const TIniDocument& ini, const char* section, const std::string& key, int def,
                   int low, int high);
    std::uint8_t ReadRowType(const TIniDocument& ini, int n);
    std::uint8_t ReadPosType(const TIniDocument& ini, int n);
    int ReadAutoFormat(const TIniDocument& ini, int n);
    void ReadVersion4(const TIniDocument& ini, int count);
    void ReadVersion3(const TIniDocument& ini, int count);
    void ReadNumberedParams(const TIniDocument& ini, int count, bool perParamEnd);
    void ReadVersion1(const TIniDocument& ini, int count);
    void ReadVersion0(const TIniDocument& ini, int count);
    void ApplySharedEndStr(const TIniDocument& ini);
    void WriteTo(TIniDocument& ini) const;
    void EnsureLoaded();

    std::string fileName_;
    TProject project_;
    bool loaded_ = false;
    bool wasUtf8_ = false;
    bool hasProjectSection_ = false;
    std::vector<std::string> rangeErrors_;
};
