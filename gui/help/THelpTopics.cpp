#include "gui/help/THelpTopics.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextDocument>
#include <map>

namespace {

QString Name(int topic) {
    return QStringLiteral("topic%1.html").arg(topic);
}

}  // namespace

const std::vector<THelpPage>& THelpTopics::All() {
    static const THelpPage table[] = {
        {THelpTopic::Contents, "目次"},
        {THelpTopic::MailType, "メールの処理方法"},
        {THelpTopic::MailFolder, "メールをコピーしたフォルダから"},
        {THelpTopic::DbxFile, "Outlook Express 5のDBXファイルから"},
        {THelpTopic::MboxFile, "Unix mbox形式のファイルから"},
        {THelpTopic::ShurikenFile, "Shuriken/Shuriken Pro形式のファイルから"},
        {THelpTopic::EudoraFile, "Eudoraのmbxファイルから"},
        {THelpTopic::TextFolder, "テキストファイルから"},
        {THelpTopic::MaildirFolder, "Maildir形式のフォルダから"},
        {THelpTopic::MhFolder, "MH形式のフォルダから"},
        {THelpTopic::ThunderbirdFolder, "Thunderbirdのフォルダから"},
        {THelpTopic::ImapServer, "IMAP サーバから"},
        {THelpTopic::Parameters, "パラメータの設定"},
        {THelpTopic::EmptyColumn, "空列"},
        {THelpTopic::RegexAndAddress, "正規表現とメールアドレスの抽出"},
        {THelpTopic::ParamOrder, "出力順の設定"},
        {THelpTopic::ConvertResult, "変換結果画面"},
        {THelpTopic::SaveCsv, "CSVファイルの保存"},
        {THelpTopic::MakeBatch, "自動実行バッチファイル作成"},
        {THelpTopic::AutoRun, "自動実行とコマンドライン"},
        {THelpTopic::CommonSetting, "全般設定"},
        {THelpTopic::ProjectSetting, "プロジェクトの設定"},
        {THelpTopic::ClearSetting, "設定の削除"},
    };
    static const std::vector<THelpPage> topics = [] {
        std::vector<THelpPage> withPage;
        for (const THelpPage& t : table) {
            if (QFile::exists(QStringLiteral(":/help/") + Name(t.number))) {
                withPage.push_back(t);
            }
        }
        return withPage;
    }();
    return topics;
}

bool THelpTopics::HasPage(int topic) {
    for (const THelpPage& t : All()) {
        if (t.number == topic) {
            return true;
        }
    }
    return false;
}

QUrl THelpTopics::PageUrl(int topic) {
    if (!HasPage(topic)) {
        topic = THelpTopic::Contents;
    }
    return QUrl(QStringLiteral("qrc:/help/") + Name(topic));
}

int THelpTopics::TopicOf(const QUrl& url) {
    static const QRegularExpression page(QStringLiteral("^/help/topic(\\d+)\\.html$"));
    const QRegularExpressionMatch m = page.match(url.path());
    if (url.scheme() != QStringLiteral("qrc") || !m.hasMatch()) {
        return 0;
    }
    const int topic = m.captured(1).toInt();
    return HasPage(topic) ? topic : 0;
}

QString THelpTopics::Title(int topic) {
    for (const THelpPage& t : All()) {
        if (t.number == topic) {
            return QString::fromUtf8(t.title);
        }
    }
    return {};
}

QString THelpTopics::Html(int topic) {
    QFile file(QStringLiteral(":/help/") + Name(topic));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString THelpTopics::PlainText(int topic) {
    static std::map<int, QString> cache;
    auto it = cache.find(topic);
    if (it == cache.end()) {
        QTextDocument doc;
        doc.setHtml(Html(topic));
        it = cache.emplace(topic, doc.toPlainText()).first;
    }
    return it->second;
}

std::vector<int> THelpTopics::Search(const QString& query) {
    const QStringList words = query.simplified().split(u' ', Qt::SkipEmptyParts);
    std::vector<int> found;
    if (words.isEmpty()) {
        return found;
    }
    for (const THelpPage& t : All()) {
        const QString text = PlainText(t.number);
        bool all = true;
        for (const QString& w : words) {
            all = all && text.contains(w, Qt::CaseInsensitive);
        }
        if (all) {
            found.push_back(t.number);
        }
    }
    return found;
}
