// The IMAP store in the window: the URL the connection dialog writes reads
// back as the fields it came from, the folder tree follows the server's
// delimiters, passwords stay in memory and the (test) keyring, and against a
// private Dovecot the dialog lists the folders and the preview shows a mail.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

#include "FakeImapKeyring.h"
#include "GuiTest.h"
#include "TDovecot.h"
#include "TEnvironmentVariable.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "gui/imap/TImapConnectDialog.h"
#include "gui/imap/TImapFolderTree.h"
#include "gui/imap/TImapPasswordDialog.h"
#include "gui/imap/TImapPasswords.h"
#include "gui/imap/TImapUrlText.h"
#include "gui/params/TFormParamEdit.h"
#include "gui/params/TParamPreviewPanel.h"
#include "mail/TMailStoreFactory.h"

namespace {

using TSecurity = TImapUrl::TSecurity;
using TAuth = TImapUrl::TAuth;

TImapUrl MakeUrl(TSecurity security, const char* host, int port, const char* user,
                 const char* folder, TAuth auth = TAuth::kPassword) {
    TImapUrl url;
    url.security = security;
    url.host = host;
    url.port = port;
    url.user = user;
    url.folder = folder;
    url.auth = auth;
    return url;
}

// What a project holds (Shift_JIS) and reads back.
TImapUrl ThroughProject(const QString& text) {
    return TImapUrl::Parse(TSjisUnicode::ToUtf8(TQtText::ToSjis(text)));
}

struct TUrlCase {
    const char* what;
    TImapUrl url;
    const char* text;
};

TEST(ImapUrlTextTest, BuildsUrlsThatReadBackAsTheirFields) {
    const TUrlCase cases[] = {
        {"defaults", MakeUrl(TSecurity::kTls, "imap.example.com", 993, "alice", "INBOX"),
         "imaps://alice@imap.example.com/INBOX"},
        {"STARTTLS on its own port",
         MakeUrl(TSecurity::kStartTls, "mail.example.jp", 1143, "bob", "INBOX"),
         "imap://bob@mail.example.jp:1143/INBOX"},
        {"TLS on STARTTLS's port", MakeUrl(TSecurity::kTls, "h", 143, "u", "INBOX"),
         "imaps://u@h:143/INBOX"},
        {"mail address and Japanese folder",
         MakeUrl(TSecurity::kTls, "imap.example.com", 993, "taro@example.co.jp", "受信箱/請求書"),
         "imaps://taro%40example.co.jp@imap.example.com/受信箱/請求書"},
        {"characters the URL itself uses", MakeUrl(TSecurity::kTls, "h", 993, "u", "50% off; #1 ?"),
         "imaps://u@h/50%25%20off%3B%20%231%20%3F"},
        {"not in Shift_JIS", MakeUrl(TSecurity::kTls, "h", 993, "u", "📧 box"),
         "imaps://u@h/%F0%9F%93%A7%20box"},
        {"a name that looks like the ignored suffix",
         MakeUrl(TSecurity::kTls, "h", 993, "u", "a;UIDVALIDITY=5"),
         "imaps://u@h/a%3BUIDVALIDITY=5"},
        {"IPv6, token, ';' in the user, trailing delimiter",
         MakeUrl(TSecurity::kTls, "::1", 10993, "a;b:c", "Sent/", TAuth::kXOAuth2),
         "imaps://a%3Bb%3Ac;AUTH=XOAUTH2@[::1]:10993/Sent%2F"},
        {"modified UTF-7's own character", MakeUrl(TSecurity::kStartTls, "h", 143, "u", "R&D"),
         "imap://u@h/R&D"},
    };
    for (const TUrlCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = TImapUrlText::Build(c.url);
        EXPECT_EQ(text, Q(c.text));
        const TImapUrl back = ThroughProject(text);
        EXPECT_EQ(back.security, c.url.security);
        EXPECT_EQ(back.host, c.url.host);
        EXPECT_EQ(back.port, c.url.port);
        EXPECT_EQ(back.user, c.url.user);
        EXPECT_EQ(back.folder, c.url.folder);
        EXPECT_EQ(back.auth, c.url.auth);
    }
}

// The tree as text: name, '*' when it can be chosen, children in brackets.
QString Shape(const QTreeWidgetItem* item) {
    QString text = item->text(0);
    if (!TImapFolderTree::FolderOf(item).isEmpty()) {
        text += u'*';
    }
    if (item->childCount() > 0) {
        QStringList children;
        for (int i = 0; i < item->childCount(); ++i) {
            children << Shape(item->child(i));
        }
        text += u'(' + children.join(u' ') + u')';
    }
    return text;
}

QString Shape(const QTreeWidget& tree) {
    QStringList top;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        top << Shape(tree.topLevelItem(i));
    }
    return top.join(u' ');
}

struct TTreeCase {
    const char* what;
    std::vector<TImapSession::TFolder> folders;
    const char* shape;
};

TEST(ImapFolderTreeTest, SplitsNamesAtTheServersDelimiter) {
    const TTreeCase cases[] = {
        {"Maildir++ dots, INBOX first, a level not listed",
         {{"Archive", '.', true, ""},
          {"INBOX", '.', true, ""},
          {"INBOX.請求書", '.', true, ""},
          {"仕事.2026年", '.', true, ""}},
         "INBOX*(請求書*) Archive* 仕事(2026年*)"},
        {"slashes and a \\Noselect level",
         {{"INBOX", '/', true, ""}, {"[Gmail]", '/', false, ""}, {"[Gmail]/送信済みメール", '/', true, ""}},
         "INBOX* [Gmail](送信済みメール*)"},
        {"no delimiter: one level", {{"a.b", 0, true, ""}, {"c/d", 0, true, ""}}, "a.b* c/d*"},
        {"a child listed before its parent", {{"x/y", '/', true, ""}, {"x", '/', true, ""}}, "x*(y*)"},
        {"inbox in any case", {{"Drafts", '.', true, ""}, {"inbox", '.', true, ""}}, "inbox* Drafts*"},
        {"a damaged name shown with U+FFFD",
         {{"x/a&AAA-b", '/', true, "x/a\uFFFDb"}},
         "x(a\uFFFDb*)"},
    };
    for (const TTreeCase& c : cases) {
        SCOPED_TRACE(c.what);
        QTreeWidget tree;
        TImapFolderTree::Fill(tree, c.folders, QString());
        EXPECT_EQ(Shape(tree), Q(c.shape));
    }
    QTreeWidget tree;
    TImapFolderTree::Fill(tree, cases[0].folders, Q("INBOX.請求書"));
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(TImapFolderTree::FolderOf(tree.currentItem()), Q("INBOX.請求書"));
    // The damaged name is chosen as the server spells it.
    TImapFolderTree::Fill(tree, cases[5].folders, Q("x/a&AAA-b"));
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(TImapFolderTree::FolderOf(tree.currentItem()), Q("x/a&AAA-b"));
}

class ImapPasswordTest : public GuiFixture {
  protected:
    ImapPasswordTest() {
        keyring.entries.clear();
        keyring.unreachable = false;
        TImapPasswords::Forget(url);
    }
    ~ImapPasswordTest() override { TImapPasswords::Forget(url); }

    // Answers the next password dialog with `password`; the save box as it
    // shows it goes into `saveShown`.
    void AnswerDialog(const QString& password) {
        QTimer::singleShot(0, [this, password] {
            auto* dialog = qobject_cast<TImapPasswordDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                ADD_FAILURE() << "no password dialog";
                return;
            }
            ++asked;
            auto* save = Find<QCheckBox>(*dialog, "CheckBoxSave");
            auto* edit = Find<QLineEdit>(*dialog, "EditPassword");
            saveEnabled = save->isEnabled();
            shown = edit->text();
            ticked = save->isChecked();
            if (saveEnabled) {
                save->setChecked(true);
            }
            edit->clear();
            Type(edit, password);
            Click(Find<QPushButton>(*dialog, "BtnOK"));
        });
    }

    TFakeImapKeyring& keyring = TestKeyring();
    TImapUrl url = MakeUrl(TSecurity::kTls, "imap.example.jp", 993, "hanako", "INBOX");
    QString key = Q("hanako@imap.example.jp:993");
    int asked = 0;
    bool saveEnabled = false;
    QString shown;  // the password field as the dialog opened
    bool ticked = false;
};

TEST_F(ImapPasswordTest, AutomaticRunTakesTheKeyringThenTheVariableAndAsksNobody) {
    {
        TEnvironmentVariable variable(TImapAccess::kPasswordVariable, "from env\nsecond line");
        EXPECT_EQ(TImapPasswords::ForAutomaticRun(url), "from env");
        keyring.entries.insert(key, Q("鍵の中"));
        EXPECT_EQ(TImapPasswords::ForAutomaticRun(url), "鍵の中");
        keyring.unreachable = true;
        EXPECT_EQ(TImapPasswords::ForAutomaticRun(url), "from env");
    }
    TEnvironmentVariable none(TImapAccess::kPasswordVariable, nullptr);
    try {
        TImapPasswords::ForAutomaticRun(url);
        ADD_FAILURE() << "no password, no refusal";
    } catch (const TKestrifyError& e) {
        const std::string text = TSjisUnicode::ToUtf8(e.what());
        EXPECT_NE(text.find("KESTRIFY_IMAP_PASSWORD"), std::string::npos) << text;
        EXPECT_NE(text.find("キーリングを使えません"), std::string::npos) << text;
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ImapPasswordTest, DesktopAsksOnceAndKeepsTheAnswerInTheKeyringWhenTicked) {
    AnswerDialog(Q("p@ss 日本"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("p@ss 日本"));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(saveEnabled);
    EXPECT_EQ(keyring.entries.value(key), Q("p@ss 日本"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("p@ss 日本"));
    EXPECT_EQ(asked, 1);
}

TEST_F(ImapPasswordTest, AfterAFailedOpenTheKeptPasswordIsShownToBeKeptOrReplaced) {
    keyring.entries.insert(key, Q("old"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("old"));
    EXPECT_EQ(asked, 0);
    TImapPasswords::OpenFailed(TQtText::ToSjis(TImapUrlText::Build(url)));
    AnswerDialog(Q("new"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("new"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(shown, Q("old"));
    EXPECT_TRUE(ticked);
    EXPECT_EQ(keyring.entries.value(key), Q("new"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("new"));
    EXPECT_EQ(asked, 1);
}

TEST_F(ImapPasswordTest, AnUnreachableKeyringIsSaidAndTheUserAskedEachSession) {
    keyring.unreachable = true;
    AnswerDialog(Q("typed"));
    EXPECT_EQ(TImapPasswords::ForDesktop(nullptr, url), std::string("typed"));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(saveEnabled);
    EXPECT_TRUE(keyring.entries.isEmpty());
    EXPECT_TRUE(modal.Boxes().empty());
}

// Against a private Dovecot: the dialog as the main window opens it.
class ImapServerGuiTest : public GuiFixture {
  protected:
    void SetUp() override {
        if (!TDovecot::Available()) {
            GTEST_SKIP() << "dovecot is not installed";
        }
        server = std::make_unique<TDovecot>();
        TestKeyring().entries.clear();
        TestKeyring().unreachable = false;
    }
    QString Url(const QString& folder) const {
        return QStringLiteral("imaps://alice@localhost:%1/").arg(server->ImapsPort()) + folder;
    }
    // Connects and waits for the listing to end.
    bool Connect(TImapConnectDialog& dialog) {
        QSignalSpy finished(&dialog, &TImapConnectDialog::ConnectFinished);
        Click(Find<QPushButton>(dialog, "BtnConnect"));
        EXPECT_TRUE(dialog.Connecting());
        return finished.wait(30000);
    }

    std::unique_ptr<TDovecot> server;
};

TEST_F(ImapServerGuiTest, ListsTheFoldersAndPreviewsAMailOfTheOneChosen) {
    server->CreateFolder("仕事.請求書");
    server->AddMails("仕事.請求書",
                     {"From: shop@example.jp\r\nSubject: invoice\r\n"
                      "Content-Type: text/plain; charset=UTF-8\r\n\r\n■お名前：山田 太郎\r\n"});
    TestKeyring().entries.insert(QStringLiteral("alice@localhost:%1").arg(server->ImapsPort()),
                                 Q(TDovecot::kPassword));
    // The CA file as the project names it, from the project's folder.
    TImapConnectDialog dialog(nullptr, Url(Q("INBOX")), Q("cert.pem"));
    dialog.SetProjectFolder(QString::fromStdString(server->Root().string()));
    ShowActive(dialog);
    EXPECT_EQ(Find<QLineEdit>(dialog, "EditPassword")->text(), Q(TDovecot::kPassword));
    EXPECT_TRUE(Find<QCheckBox>(dialog, "CheckBoxSave")->isChecked());
    ASSERT_TRUE(Connect(dialog)) << dialog.StatusText().toStdString();
    EXPECT_EQ(Shape(*dialog.Tree()), Q("INBOX* 仕事(請求書*)"))
        << dialog.StatusText().toStdString();
    const QList<QTreeWidgetItem*> found =
        dialog.Tree()->findItems(Q("請求書"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    dialog.Tree()->setCurrentItem(found[0]);
    EXPECT_EQ(Find<QLineEdit>(dialog, "EditFolder")->text(), Q("仕事.請求書"));
    Click(Find<QPushButton>(dialog, "BtnOK"));
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Url(), Url(Q("仕事.請求書")));
    EXPECT_EQ(dialog.CaFile(), Q("cert.pem"));

    TFormParamEdit form;
    ShowActive(form);
    TFormParamEdit::TPreviewSource source;
    source.mailType = TMailStoreFactory::Imap;
    source.location = TQtText::ToSjis(dialog.Url());
    source.imapAccess = [this] {
        TImapAccess access;
        access.secret = TDovecot::kPassword;
        access.caFile = server->CaFile();
        return std::optional<TImapAccess>(access);
    };
    form.SetPreviewSource(source);
    Click(Find<QPushButton>(form, "BtnPreview"));
    auto* key = Find<QComboBox>(form, "EditKey");
    key->lineEdit()->setFocus();
    Type(key->lineEdit(), Q("■お名前："));
    TParamPreviewPanel* panel = form.PreviewPanel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->ValueText() == Q("山田 太郎"); }, 30000))
        << panel->MessageText().toStdString();
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(ImapServerGuiTest, AWrongPasswordIsToldAndAStalledServerStoppedAtOnce) {
    TImapConnectDialog dialog(nullptr, Url(Q("INBOX")), Q(server->CaFile().c_str()));
    ShowActive(dialog);
    Find<QLineEdit>(dialog, "EditPassword")->setText(Q("wrong"));
    ASSERT_TRUE(Connect(dialog));
    EXPECT_TRUE(dialog.StatusText().contains(Q("ログインできません")))
        << dialog.StatusText().toStdString();
    EXPECT_EQ(dialog.Tree()->topLevelItemCount(), 0);

    TTcpRelay relay(server->ImapsPort(), 0, TTcpRelay::TMode::kStall);
    auto* port = Find<QSpinBox>(dialog, "EditPort");
    port->setValue(relay.Port());
    Click(Find<QPushButton>(dialog, "BtnConnect"));
    QTest::qWait(300);
    EXPECT_TRUE(dialog.Connecting());
    Click(Find<QPushButton>(dialog, "BtnStop"));
    EXPECT_FALSE(dialog.Connecting());
    EXPECT_EQ(dialog.StatusText(), Q("接続を中止しました。"));
    EXPECT_TRUE(Find<QPushButton>(dialog, "BtnConnect")->isEnabled());
}

}  // namespace
