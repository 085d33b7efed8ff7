#include "gui/settings/TkKestrifyInfo.h"

#ifndef KESTRIFY_VERSION
#error "KESTRIFY_VERSION must be defined by the build"
#endif
#ifndef KESTRIFY_WEB_ADDRESS
#error "KESTRIFY_WEB_ADDRESS must be defined by the build"
#endif

const TkKestrifyInfo& TkKestrifyInfo::Instance() {
    static const TkKestrifyInfo info;
    return info;
}

QString TkKestrifyInfo::FileTypeDescription() {
    return QString::fromUtf8("KESTRIFYファイル");
}

QString TkKestrifyInfo::WebAddress() {
    return QString::fromUtf8(KESTRIFY_WEB_ADDRESS);
}

QString TkKestrifyInfo::Version() {
    return QString::fromUtf8(KESTRIFY_VERSION);
}

QIcon TkKestrifyInfo::ProgramIcon() {
    return QIcon(QStringLiteral(":/desktop/kestrify.svg"));
}
