#include "gui/base/TQtText.h"

#include "codeconv/TSjisUnicode.h"

QString TQtText::FromSjis(std::string_view sjis) {
    const std::string utf8 = TSjisUnicode::ToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string TQtText::ToSjis(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return TSjisUnicode::FromUtf8(std::string_view(utf8.constData(), utf8.size()));
}
