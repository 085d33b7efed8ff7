#include "gui/settings/TkAppInfo.h"

#include "base/TKestrifyError.h"
#include "gui/base/TQtText.h"

namespace {

constexpr const char* Names[TkAppInfo::ValueCount] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",
};

}  // namespace

TkAppInfo::TkAppInfo(const QString& version) {
    if (version.isEmpty()) {
        throw TKestrifyError(TQtText::ToSjis(QString::fromUtf8("バージョン情報を取得できません")));
    }
    values_[Comments] = QString::fromUtf8("保存されたメールをCSVの表に変換します。");
    values_[CompanyName] = QStringLiteral("Kestrify");
    values_[FileDescription] = QStringLiteral("Kestrify");
    values_[FileVersion] = version;
    values_[InternalName] = QStringLiteral("kestrify");
    values_[OriginalFilename] = QStringLiteral("kestrify");
    values_[ProductName] = QStringLiteral("Kestrify");
    values_[ProductVersion] = version;
}

QString TkAppInfo::Value(int index) const {
    return index >= 0 && index < ValueCount ? values_[index] : QString();
}

const char* TkAppInfo::ValueName(int index) {
    return index >= 0 && index < ValueCount ? Names[index] : "";
}
