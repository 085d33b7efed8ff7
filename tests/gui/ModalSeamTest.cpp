#include <gtest/gtest.h>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>

#include "GuiTest.h"
#include "gui/base/TDialogForm.h"
#include "gui/base/TFileFilter.h"
#include "gui/base/THint.h"
#include "gui/base/TMessageDialog.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScreenFit.h"
#include "gui/base/TTranslations.h"

TEST(QtText, ShiftJisRoundTrip) {
    const std::string sjis = Sj("件名：①テスト ABC");
    EXPECT_EQ(TQtText::FromSjis(sjis), Q("件名：①テスト ABC"));
    EXPECT_EQ(TQtText::ToSjis(TQtText::FromSjis(sjis)), sjis);
    // Characters outside Shift_JIS become '?', never lost bytes or garbage.
    EXPECT_EQ(TQtText::ToSjis(Q("a\u00e9b")), "a?b");
}

TEST(Hint, SplitsAtTheFirstBar) {
    EXPECT_EQ(THint::ToolTip(Q("追加|パラメータを追加する")), Q("追加"));
    EXPECT_EQ(THint::StatusTip(Q("追加|パラメータを追加する")), Q("パラメータを追加する"));
    EXPECT_EQ(THint::ToolTip(Q("|設定を登録する")), QString());
    EXPECT_EQ(THint::StatusTip(Q("|設定を登録する")), Q("設定を登録する"));
    EXPECT_EQ(THint::StatusTip(Q("a|b|c")), Q("b|c"));
    EXPECT_EQ(THint::ToolTip(Q("bar-less")), Q("bar-less"));
    EXPECT_EQ(THint::StatusTip(Q("bar-less")), Q("bar-less"));
}

TEST(FileFilter, PairsBecomeQtFilters) {
    EXPECT_EQ(TFileFilter::ToQt(Q("DBXファイル(*.dbx)|*.dbx")),
              QStringList{Q("DBXファイル (*.dbx)")});
    EXPECT_EQ(TFileFilter::ToQt(Q("設定ファイル(*.KFY;*.INI)|*.KFY;*.INI")),
              QStringList{Q("設定ファイル (*.KFY *.INI)")});
    // "*.*" must also show files without an extension, such as an mbox "Inbox".
    EXPECT_EQ(TFileFilter::ToQt(Q("MBXファイル(*.mbx)|*.mbx|全てのファイル(*.*)|*.*")),
              (QStringList{Q("MBXファイル (*.mbx)"), Q("全てのファイル (*)")}));
    EXPECT_TRUE(TFileFilter::ToQt(QString()).isEmpty());
    EXPECT_TRUE(TFileFilter::ToQt(Q("dangling")).isEmpty());
}

TEST_F(GuiFixture, ScriptedSeamRecordsAndAnswers) {
    modal.AnswerMessage(TModalResult::Yes);
    modal.AnswerFile(Q("/tmp/a.KFY"));
    modal.AnswerFile(std::nullopt);

    EXPECT_EQ(TModalService::Current().Message(nullptr, Q("上書きしますか？"),
                                               TMsgKind::Confirmation, TMsgButtons::YesNoCancel, 0),
              TModalResult::Yes);
    // Unscripted boxes get the Esc answer.
    EXPECT_EQ(TModalService::Current().Message(nullptr, Q("x"), TMsgKind::Error,
                                               TMsgButtons::YesNoCancel, 3),
              TModalResult::Cancel);
    EXPECT_EQ(TModalService::Current().Message(nullptr, Q("x"), TMsgKind::Error,
                                               TMsgButtons::YesNoHelp, 3),
              TModalResult::No);
    TFileRequest request{Q("開く"), Q("設定ファイル(*.KFY)|*.KFY"), Q("/tmp"), {}, Q(".KFY")};
    EXPECT_EQ(TModalService::Current().SaveFile(nullptr, request), Q("/tmp/a.KFY"));
    EXPECT_EQ(TModalService::Current().OpenFile(nullptr, request), std::nullopt);
    EXPECT_EQ(TModalService::Current().BrowseFolder(nullptr, Q("フォルダ"), Q("/home")),
              std::nullopt);

    ASSERT_EQ(modal.Boxes().size(), 3u);
    EXPECT_EQ(modal.Boxes()[0].text, Q("上書きしますか？"));
    EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Confirmation);
    EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::YesNoCancel);
    EXPECT_EQ(modal.Boxes()[1].helpTopic, 3);
    ASSERT_EQ(modal.FileDialogs().size(), 3u);
    EXPECT_EQ(modal.FileDialogs()[0].kind, TFileDialogKind::Save);
    EXPECT_EQ(modal.FileDialogs()[0].request.filter, Q("設定ファイル(*.KFY)|*.KFY"));
    EXPECT_EQ(modal.FileDialogs()[2].kind, TFileDialogKind::Folder);
    EXPECT_EQ(modal.FileDialogs()[2].request.caption, Q("フォルダ"));
    EXPECT_EQ(modal.PendingAnswers(), 0);
}

TEST(ModalService, InstallRestoresThePrevious) {
    TModalService& production = TModalService::Current();
    {
        TScriptedModalService outer;
        TModalServiceScope outerScope(outer);
        {
            TScriptedModalService inner;
            TModalServiceScope innerScope(inner);
            EXPECT_EQ(&TModalService::Current(), &inner);
        }
        EXPECT_EQ(&TModalService::Current(), &outer);
    }
    EXPECT_EQ(&TModalService::Current(), &production);
}

namespace {

QStringList ButtonCaptions(const TMessageDialog& box) {
    QStringList captions;
    for (const QPushButton* b : box.findChildren<QPushButton*>()) {
        captions.append(b->text());
    }
    return captions;
}

QPushButton* ButtonNamed(const TMessageDialog& box, const QString& caption) {
    for (QPushButton* b : box.findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

}  // namespace

TEST(MessageDialog, ButtonSetsInJapanese) {
    struct Case {
        TMsgButtons buttons;
        QStringList captions;
        TModalResult escape;
    };
    const Case cases[] = {
        {TMsgButtons::Ok, {Q("OK")}, TModalResult::Ok},
        {TMsgButtons::OkHelp, {Q("OK"), Q("ヘルプ(&H)")}, TModalResult::Ok},
        {TMsgButtons::OkCancel, {Q("OK"), Q("キャンセル")}, TModalResult::Cancel},
        {TMsgButtons::YesNo, {Q("はい(&Y)"), Q("いいえ(&N)")}, TModalResult::No},
        {TMsgButtons::YesNoHelp,
         {Q("はい(&Y)"), Q("いいえ(&N)"), Q("ヘルプ(&H)")},
         TModalResult::No},
        {TMsgButtons::YesNoCancel,
         {Q("はい(&Y)"), Q("いいえ(&N)"), Q("キャンセル")},
         TModalResult::Cancel},
    };
    for (const Case& c : cases) {
        TMessageDialog box(nullptr, Q("本文"), TMsgKind::Warning, c.buttons, 0);
        EXPECT_EQ(ButtonCaptions(box), c.captions);
        EXPECT_EQ(TModalService::EscapeAnswer(c.buttons), c.escape);
    }
    EXPECT_EQ(TMessageDialog::Title(TMsgKind::Error), Q("エラー"));
    EXPECT_EQ(TMessageDialog::Title(TMsgKind::Warning), Q("警告"));
    EXPECT_EQ(TMessageDialog::Title(TMsgKind::Information), Q("情報"));
    EXPECT_EQ(TMessageDialog::Title(TMsgKind::Confirmation), Q("確認"));
}

TEST_F(GuiFixture, MessageDialogHelpKeepsTheBoxOpen) {
    TMessageDialog box(nullptr, Q("jre32.dllが見つからないため、\n正規表現は使えません。"),
                       TMsgKind::Warning, TMsgButtons::YesNoHelp, 169);
    ShowActive(box);
    // The text is shown as it is, line break included.
    const QLabel* text = nullptr;
    for (const QLabel* l : box.findChildren<QLabel*>()) {
        if (!l->text().isEmpty()) {
            text = l;
        }
    }
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), Q("jre32.dllが見つからないため、\n正規表現は使えません。"));

    ButtonNamed(box, Q("ヘルプ(&H)"))->click();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(help.Topics(), std::vector<int>{169});
    QTest::keyClick(&box, Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{169, 169}));

    ButtonNamed(box, Q("いいえ(&N)"))->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.Answer(), TModalResult::No);
}

TEST_F(GuiFixture, MessageDialogEscGivesTheEscapeAnswer) {
    TMessageDialog box(nullptr, Q("x"), TMsgKind::Confirmation, TMsgButtons::YesNoCancel, 0);
    ShowActive(box);
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.Answer(), TModalResult::Cancel);
}

TEST(HelpService, ContextIsTheNearestNonZeroOne) {
    QWidget window;
    QWidget* middle = new QWidget(&window);
    QWidget* inner = new QWidget(middle);
    THelpService::SetContext(&window, 61);
    EXPECT_EQ(THelpService::ContextFor(inner), 61);
    THelpService::SetContext(middle, 8);
    EXPECT_EQ(THelpService::ContextFor(inner), 8);
    EXPECT_EQ(THelpService::ContextFor(nullptr), 0);
}

TEST_F(GuiFixture, DialogFormShowsStatusTipsAndHelpByFocus) {
    TDialogForm form(nullptr);
    form.SetHelpContext(15);
    auto* first = new QPushButton(Q("A"), &form);
    auto* second = new QPushButton(Q("B"), &form);
    THint::Apply(first, Q("一|最初のボタン"));
    THelpService::SetContext(second, 25);
    first->move(0, 0);
    second->move(0, 40);
    ShowActive(form);

    first->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form.StatusText(), Q("最初のボタン"));
    QTest::keyClick(first, Qt::Key_F1);
    second->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form.StatusText(), QString());
    QTest::keyClick(second, Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{15, 25}));
}

TEST(Translations, QtsOwnTextsFollowAJapaneseLocale) {
    QTranslator* translator = TTranslations::Load(QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(translator, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is not installed";
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), Q("キャンセル"));
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), Q("保存"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST(ScreenFit, NoWindowOpensLargerThanTheScreensFreeArea) {
    struct {
        QSize minimum, size;
        QPoint at;
    } const cases[] = {
        {{3000, 2000}, {4000, 3000}, {-500, -500}},  // a layout too large for the screen
        {{0, 0}, {300, 200}, {5000, 5000}},          // small but off the screen
        {{0, 0}, {300, 200}, {10, 10}},              // already fits: stays
    };
    for (const auto& c : cases) {
        QWidget window;
        window.setMinimumSize(c.minimum);
        window.resize(c.size);
        window.move(c.at);
        window.show();
        TScreenFit::Fit(window);
        const QRect area = window.screen()->availableGeometry();
        EXPECT_TRUE(area.contains(window.frameGeometry())) << c.size.width();
        if (area.contains(QRect(c.at, c.size))) {
            EXPECT_EQ(window.frameGeometry().topLeft(), c.at);
            EXPECT_EQ(window.size(), c.size);
        }
    }
}
