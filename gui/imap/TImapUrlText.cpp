#include "gui/imap/TImapUrlText.h"

#include "gui/base/TQtText.h"

namespace {

bool IsUnreserved(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEncoded(QString& out, const QString& character) {
    for (const char byte : character.toUtf8()) {
        out +=
            u'%' +
            QString::number(static_cast<unsigned char>(byte), 16).rightJustified(2, u'0').toUpper();
    }
}

// Whether the project's Shift_JIS holds `character` as it is.
bool SurvivesProject(const QString& character) {
    return TQtText::FromSjis(TQtText::ToSjis(character)) == character;
}

// `keep` says which ASCII characters besides the unreserved ones stay.
template <class Keep>
QString Encoded(const QString& text, bool readableNonAscii, Keep keep) {
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        const QString character = text.mid(i, length);
        const char16_t c = text[i].unicode();
        i += length;
        const bool kept = c < 0x80 ? IsUnreserved(c) || keep(static_cast<char>(c))
                                   : readableNonAscii && SurvivesProject(character);
        if (kept) {
            out += character;
        } else {
            AppendEncoded(out, character);
        }
    }
    return out;
}

}  // namespace

QString TImapUrlText::Build(const TImapUrl& url) {
    const bool tls = url.security == TImapUrl::TSecurity::kTls;
    QString text = tls ? QStringLiteral("imaps://") : QStringLiteral("imap://");
    // The user is often a mail address: its '@' and any ';' or ':' are encoded.
    text += Encoded(QString::fromStdString(url.user), false,
                    [](char c) { return c == '!' || c == '$' || c == '+' || c == ','; });
    if (url.auth == TImapUrl::TAuth::kXOAuth2) {
        text += QStringLiteral(";AUTH=XOAUTH2");
    }
    text += u'@';
    const QString host = QString::fromStdString(url.host);
    text += host.contains(u':') ? u'[' + host + u']' : host;
    if (url.port != DefaultPort(url.security)) {
        text += u':' + QString::number(url.port);
    }
    QString folder = Encoded(QString::fromStdString(url.folder), true, [](char c) {
        return c == '/' || c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' || c == ')' ||
               c == '*' || c == '+' || c == ',' || c == '=' || c == ':' || c == '@';
    });
    // The reader drops trailing slashes, which a name may end with.
    qsizetype end = folder.size();
    while (end > 0 && folder[end - 1] == u'/') {
        --end;
    }
    folder = folder.left(end) + QStringLiteral("%2F").repeated(folder.size() - end);
    return text + u'/' + folder;
}
