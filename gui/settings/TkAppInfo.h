#pragma once
// The program's own version information around the build's project version
// (TkKestrifyInfo::Version()): the eleven standard values of a version
// record, asked for by index 0 ("Comments") to 10 ("ProductVersion").

#include <QString>

class TkAppInfo {
  public:
    enum TIndex {
        Comments,
        CompanyName,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        LegalTrademarks,
        OriginalFilename,
        PrivateBuild,
        ProductName,
        ProductVersion,
        ValueCount
    };

    // Throws TKestrifyError "バージョン情報を取得できません" when the
    // version is empty (a build that carries none).
    explicit TkAppInfo(const QString& version);

    // Empty text for an index outside 0 to 10 or a value the program lacks.
    QString Value(int index) const;
    static const char* ValueName(int index);

  private:
    QString values_[ValueCount];
};
