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

const std::vector<THelpTopic>& THelpTopics::All() {
    static const THelpTopic table[] = {
        {1, "目次"},
        {31, "メールの処理方法"},
        {8, "メールをコピーしたフォルダから"},
        {21, "Outlook Express 5のDBXファイルから"},
        {34, "Unix mbox形式のファイルから"},
        {57, "Shuriken/Shuriken Pro形式のファイルから"},
        {46, "Eudoraのmbxファイルから"},
        {168, "テキストファイルから"},
        {180, "Maildir形式のフォルダから"},
        {181, "MH形式のフォルダから"},
        {182, "Thunderbirdのフォルダから"},
        {10, "パラメータの設定"},
        {135, "空列"},
        {169, "正規表現とメールアドレスの抽出"},
        {61, "出力順の設定"},
        {15, "変換結果画面"},
        {25, "CSVファイルの保存"},
        {48, "自動実行バッチファイル作成"},
        {52, "自動実行とコマンドライン"},
        {72, "全般設定"},
        {139, "プロジェクトの設定"},
        {150, "設定の削除"},
    };
    static const std::vector<THelpTopic> topics = [] {
        std::vector<THelpTopic> withPage;
        for (const THelpTopic& t : table) {
            if (QFile::exists(QStringLiteral(":/help/") + Name(t.number))) {
                withPage.push_back(t);
            }
        }
        return withPage;
    }();
    return topics;
}

bool THelpTopics::HasPage(int topic) {
    for (const THelpTopic& t : All()) {
        if (t.number == topic) {
            return true;
        }
    }
    return false;
}

QUrl THelpTopics::PageUrl(int topic) {
    return QUrl(QStringLiteral("qrc:/help/") + Name(HasPage(topic) ? topic : Contents));
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
    for (const THelpTopic& t : All()) {
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
    for (const THelpTopic& t : All()) {
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
