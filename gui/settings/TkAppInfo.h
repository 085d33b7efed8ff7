#pragma once
// The program's own version information, compiled in from the build's
// project version: the eleven standard values of a version record, asked for
// by index 0 ("Comments") to 10 ("ProductVersion").

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

    // Throws TKestrifyError "バージョン情報を取得できません" when the build
    // carries no version.
    TkAppInfo();

    // Empty text for an index outside 0 to 10 or a value the program lacks.
    QString Value(int index) const;
    static const char* ValueName(int index);

  private:
    QString values_[ValueCount];
};
