#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "GuiTest.h"
#include "TParamMaker.h"
#include "gui/controls/TRadioGroup.h"
#include "gui/params/TFormParamEdit.h"

namespace {

const char* const RangeMessage = "10から9999までの整数を入力してください。";
const char* const IntegerMessage = "整数を入力してください。";

class ParamEditTest : public GuiFixture {
  protected:
    ParamEditTest() {
        ShowActive(form);
        key = Find<QComboBox>(form, "EditKey");
        fieldName = Find<QLineEdit>(form, "EditFieldName");
        fieldNameCheck = Find<QCheckBox>(form, "CheckBoxFieldName");
        regExt = Find<QCheckBox>(form, "CheckBoxRegExt");
        pos = Find<TRadioGroup>(form, "RadioGroupPosType");
        rows = Find<TRadioGroup>(form, "RadioGroupRowCount");
        start = Find<TRadioGroup>(form, "RadioGroupStartLine");
        trim = Find<QCheckBox>(form, "CheckBoxTrim");
        oneLine = Find<QCheckBox>(form, "CheckBoxOneLine");
        autoFormat = Find<QCheckBox>(form, "CheckBoxAutoFormat");
        autoFormatWidth = Find<QLineEdit>(form, "EditAutoFormat");
        mailAddress = Find<QCheckBox>(form, "CheckBoxMailAddress");
        mailName = Find<QCheckBox>(form, "CheckBoxMailName");
        endString = Find<QLineEdit>(form, "EditEndString");
        endRegExp = Find<QCheckBox>(form, "CheckBoxEndStringRegExp");
        pages = Find<QTabWidget>(form, "PageControl");
        ok = Find<QPushButton>(form, "BtnOK");
    }

    void TypeKey(const QString& text) {
        key->lineEdit()->setFocus();
        Type(key->lineEdit(), text);
    }
    void ClearAndType(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        Type(edit, text);
    }
    void ChooseHeader() { Click(pos->Item(1)); }
    void PressOK() { QTest::mouseClick(ok, Qt::LeftButton); }
    bool Accepted() const { return form.result() == QDialog::Accepted && !form.isVisible(); }
    // The one box shown so far.
    TRecordedBox OnlyBox() const {
        EXPECT_EQ(modal.Boxes().size(), 1u);
        return modal.Boxes().empty() ? TRecordedBox{} : modal.Boxes().back();
    }
    QString Key() const { return TQtText::FromSjis(form.GetParam().GetParamKey()); }

    TFormParamEdit form;
    QComboBox* key;
    QLineEdit* fieldName;
    QCheckBox* fieldNameCheck;
    QCheckBox* regExt;
    TRadioGroup* pos;
    TRadioGroup* rows;
    TRadioGroup* start;
    QCheckBox* trim;
    QCheckBox* oneLine;
    QCheckBox* autoFormat;
    QLineEdit* autoFormatWidth;
    QCheckBox* mailAddress;
    QCheckBox* mailName;
    QLineEdit* endString;
    QCheckBox* endRegExp;
    QTabWidget* pages;
    QPushButton* ok;
};

}  // namespace

TEST_F(ParamEditTest, DefaultsMakeAOneLineBodyParameter) {
    EXPECT_EQ(form.windowTitle(), Q("パラメータ"));
    EXPECT_TRUE(key->hasFocus());
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(fieldNameCheck->isChecked());
    EXPECT_FALSE(oneLine->isEnabled());
    EXPECT_FALSE(mailName->isEnabled());
    EXPECT_EQ(autoFormatWidth->text(), Q("0"));
    EXPECT_EQ(autoFormatWidth->maxLength(), 4);
    QStringList items;
    for (int i = 0; i < key->count(); ++i) {
        items.append(key->itemText(i));
    }
    EXPECT_EQ(items, (QStringList{Q("From (差出人)"), Q("To (宛先)"), Q("Subject (件名)"),
                                  Q("Date (日付)")}));

    const TOrderedParamString p = form.GetParam();
    EXPECT_EQ(p.GetParamOrder(), -1);
    EXPECT_EQ(p.GetFieldOrder(), -1);
    EXPECT_EQ(p.GetRowType(), TOrderedParamString::RowSingle);
    EXPECT_EQ(p.GetPosType(), TOrderedParamString::PosBody);
    EXPECT_TRUE(p.GetStartLine());
    EXPECT_FALSE(p.GetRegExt() || p.GetOneLine() || p.GetTrim() || p.GetMailAddress() ||
                 p.GetMailName() || p.GetEndStrRegExp());
    EXPECT_EQ(p.GetAutoFormat(), 0);
}

TEST_F(ParamEditTest, EmptyKeyIsRefused) {
    pages->setCurrentIndex(1);
    PressOK();
    const TRecordedBox box = OnlyBox();
    EXPECT_EQ(box.text, Q("パラメータ文字が指定されていません。"));
    EXPECT_EQ(box.kind, TMsgKind::Warning);
    EXPECT_EQ(box.buttons, TMsgButtons::Ok);
    EXPECT_EQ(box.helpTopic, 0);
    EXPECT_FALSE(Accepted());
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(key->hasFocus());
    // Nothing was changed yet: the field name link stays.
    EXPECT_TRUE(fieldNameCheck->isChecked());
}

TEST_F(ParamEditTest, KeyTypedFillsTheFieldNameAndBack) {
    TypeKey(Q("お名前："));
    EXPECT_EQ(fieldName->text(), Q("お名前："));
    ClearAndType(fieldName, Q("氏名"));
    EXPECT_EQ(key->currentText(), Q("氏名"));
    Click(fieldNameCheck);
    ClearAndType(fieldName, Q("名前"));
    EXPECT_EQ(key->currentText(), Q("氏名"));
    Click(fieldNameCheck);
    EXPECT_EQ(fieldName->text(), Q("氏名"));
}

TEST_F(ParamEditTest, HeaderKeysAreNormalisedOnOK) {
    const std::pair<const char*, const char*> cases[] = {
        {"Subject", "Subject:"}, {"  X-Mailer  ", "X-Mailer:"},
        {"Date:", "Date:"},      {"日付：", "日付：:"},  // only the ASCII colon ends a header name
        {"\tTo:\t", "To:"},      {"　件名　", "　件名　:"},  // full-width spaces are not trimmed
        {"   ", "   :"},                                     // trimming would leave nothing
    };
    for (const auto& [typed, stored] : cases) {
        TFormParamEdit dialog;
        ShowActive(dialog);
        Click(Find<TRadioGroup>(dialog, "RadioGroupPosType")->Item(1));
        // Inserted as pasted: a tab cannot be typed into an edit box.
        Find<QComboBox>(dialog, "EditKey")->lineEdit()->insert(Q(typed));
        QTest::mouseClick(Find<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed;
        EXPECT_EQ(TQtText::FromSjis(dialog.GetParam().GetParamKey()), Q(stored)) << typed;
        // The field name keeps what was typed: it does not follow the colon.
        EXPECT_EQ(TQtText::FromSjis(dialog.GetParam().GetFieldName()), Q(typed)) << typed;
        EXPECT_EQ(dialog.GetParam().GetPosType(), TOrderedParamString::PosHeader);
    }
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(ParamEditTest, BodyKeyStaysAsTyped) {
    TypeKey(Q("  ご住所  "));
    // Enter in the key box presses the default button.
    QTest::keyClick(key->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Key(), Q("  ご住所  "));
}

TEST_F(ParamEditTest, ShortcutSwitchesToHeaderAndGivesItsKey) {
    QTest::keyClick(key, Qt::Key_Down);
    QTest::keyClick(key, Qt::Key_Down);
    EXPECT_EQ(key->currentText(), Q("To (宛先)"));
    EXPECT_EQ(pos->ItemIndex(), 1);
    EXPECT_EQ(fieldName->text(), Q("To (宛先)"));
    // Typing in the field name does not overwrite a chosen entry.
    ClearAndType(fieldName, Q("宛先"));
    EXPECT_EQ(key->currentText(), Q("To (宛先)"));
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Key(), Q("To:"));
    EXPECT_EQ(TQtText::FromSjis(form.GetParam().GetFieldName()), Q("宛先"));
}

TEST_F(ParamEditTest, EditedShortcutTextIsAnOrdinaryKey) {
    QTest::keyClick(key, Qt::Key_Down);
    EXPECT_EQ(pos->ItemIndex(), 1);
    TypeKey(Q("x"));
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Key(), Q("From (差出人)x:"));
}

TEST_F(ParamEditTest, AutoFormatWidthIsChecked) {
    struct Case {
        const char* text;
        const char* message;  // nullptr: accepted
        int stored;
    };
    const Case cases[] = {
        {"0", RangeMessage, 0},  {"9", RangeMessage, 0},   {"1a", IntegerMessage, 0},
        {"", IntegerMessage, 0}, {"-", IntegerMessage, 0}, {"-10", RangeMessage, 0},
        {"10", nullptr, 10},     {"9999", nullptr, 9999},  {"+72", nullptr, 72},
    };
    for (const Case& c : cases) {
        modal.Clear();
        TFormParamEdit dialog;
        ShowActive(dialog);
        auto* edit = Find<QComboBox>(dialog, "EditKey");
        edit->lineEdit()->setFocus();
        Type(edit->lineEdit(), Q("本文："));
        Find<QTabWidget>(dialog, "PageControl")->setCurrentIndex(1);
        Click(Find<QCheckBox>(dialog, "CheckBoxAutoFormat"));
        auto* width = Find<QLineEdit>(dialog, "EditAutoFormat");
        width->setFocus();
        width->selectAll();
        QTest::keyClick(width, Qt::Key_Delete);
        QTest::keyClicks(width, QString::fromLatin1(c.text));
        Find<QTabWidget>(dialog, "PageControl")->setCurrentIndex(0);
        QTest::mouseClick(Find<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);
        if (c.message == nullptr) {
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.text;
            EXPECT_EQ(dialog.GetParam().GetAutoFormat(), c.stored) << c.text;
            EXPECT_TRUE(modal.Boxes().empty()) << c.text;
        } else {
            EXPECT_NE(dialog.result(), QDialog::Accepted) << c.text;
            ASSERT_EQ(modal.Boxes().size(), 1u) << c.text;
            EXPECT_EQ(modal.Boxes()[0].text, Q(c.message)) << c.text;
            EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::Ok);
            EXPECT_EQ(Find<QTabWidget>(dialog, "PageControl")->currentIndex(), 1) << c.text;
            EXPECT_TRUE(width->hasFocus()) << c.text;
        }
    }
}

TEST_F(ParamEditTest, AutoFormatUntickedAcceptsAnyText) {
    TypeKey(Q("k"));
    pages->setCurrentIndex(1);
    autoFormatWidth->setFocus();
    QTest::keyClicks(autoFormatWidth, QStringLiteral("zz"));
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(form.GetParam().GetAutoFormat(), 0);
}

TEST_F(ParamEditTest, RefusalPutsTheTypedKeyBack) {
    ChooseHeader();
    TypeKey(Q("Sub(ject"));
    Click(regExt);
    PressOK();
    EXPECT_FALSE(Accepted());
    EXPECT_EQ(key->currentText(), Q("Sub(ject"));
    EXPECT_FALSE(fieldNameCheck->isChecked());
    // Pressing OK again gives the same key, not "Sub(ject::".
    Click(regExt);
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Key(), Q("Sub(ject:"));
}

TEST_F(ParamEditTest, BadPatternsAreShownWithTheEngineMessage) {
    TypeKey(QStringLiteral("(unclosed"));
    Click(regExt);
    pages->setCurrentIndex(1);
    PressOK();
    EXPECT_FALSE(Accepted());
    TRecordedBox box = OnlyBox();
    EXPECT_TRUE(box.text.startsWith(Q("パラメータ文字の正規表現に間違いがあります。\n")))
        << box.text.toStdString();
    EXPECT_GT(box.text.size(), Q("パラメータ文字の正規表現に間違いがあります。\n").size());
    EXPECT_EQ(box.buttons, TMsgButtons::Ok);
    EXPECT_EQ(box.kind, TMsgKind::Warning);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(key->hasFocus());

    modal.Clear();
    key->lineEdit()->selectAll();
    TypeKey(QStringLiteral("^k(e)y"));
    pages->setCurrentIndex(1);
    endString->setFocus();
    Type(endString, QStringLiteral("[z-a]"));
    Click(endRegExp);
    pages->setCurrentIndex(0);
    PressOK();
    EXPECT_FALSE(Accepted());
    box = OnlyBox();
    EXPECT_TRUE(box.text.startsWith(Q("終了文字の正規表現に間違いがあります。\n")));
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_TRUE(endString->hasFocus());

    modal.Clear();
    endString->selectAll();
    Type(endString, QStringLiteral("^-{3,}$"));
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_TRUE(modal.Boxes().empty());
    EXPECT_TRUE(form.GetParam().GetEndStrRegExp());
    EXPECT_TRUE(form.GetParam().GetRegExt());
}

TEST_F(ParamEditTest, EmptyEndStringDropsItsRegexFlag) {
    TypeKey(Q("k"));
    pages->setCurrentIndex(1);
    Click(endRegExp);
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_TRUE(modal.Boxes().empty());
    EXPECT_FALSE(endRegExp->isChecked());
    EXPECT_FALSE(form.GetParam().GetEndStrRegExp());
}

TEST_F(ParamEditTest, DependenciesFollowPositionRowsAndAddressOptions) {
    pages->setCurrentIndex(1);
    ChooseHeader();
    for (QWidget* w : std::initializer_list<QWidget*>{rows, start, oneLine, autoFormat,
                                                      autoFormatWidth, endString, endRegExp}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(mailName->isEnabled());
    EXPECT_TRUE(regExt->isEnabled() && trim->isEnabled() && mailAddress->isEnabled());

    Click(mailName);
    EXPECT_FALSE(mailAddress->isEnabled());
    Click(mailName);
    EXPECT_TRUE(mailAddress->isEnabled());
    Click(mailAddress);
    EXPECT_FALSE(mailName->isEnabled());

    Click(pos->Item(0));
    EXPECT_TRUE(rows->isEnabled() && start->isEnabled() && autoFormat->isEnabled());
    EXPECT_FALSE(oneLine->isEnabled());
    EXPECT_FALSE(mailName->isEnabled());
    Click(rows->Item(1));
    EXPECT_TRUE(oneLine->isEnabled());
    Click(rows->Item(0));
    EXPECT_FALSE(oneLine->isEnabled());
}

TEST_F(ParamEditTest, NeverReturnsBothAddressOptions) {
    ChooseHeader();
    TypeKey(Q("From"));
    pages->setCurrentIndex(1);
    Click(mailAddress);
    Click(pos->Item(0));
    // Choosing header again enables mail name while mail address is ticked.
    ChooseHeader();
    Click(mailName);
    ASSERT_TRUE(mailAddress->isChecked() && mailName->isChecked());
    const TOrderedParamString p = form.GetParam();
    EXPECT_TRUE(p.GetMailAddress());
    EXPECT_FALSE(p.GetMailName());
}

TEST_F(ParamEditTest, SetParamShowsEveryFieldAndGetParamGivesThemBack) {
    TOrderedParamString in = PlainParam(Sj("本文："), 5, Sj("本文"), TOrderedParamString::RowMulti,
                                        TOrderedParamString::PosBody, 3);
    in.SetRegExt(true);
    in.SetOneLine(true);
    in.SetTrim(true);
    in.SetAutoFormat(72);
    in.SetStartLine(false);
    in.SetEndStr(Sj("以上"));
    in.SetEndStrRegExp(true);
    in.SetMailAddress(true);
    form.SetParam(in);
    EXPECT_TRUE(oneLine->isEnabled());
    EXPECT_FALSE(fieldNameCheck->isChecked());
    const TOrderedParamString out = form.GetParam();
    EXPECT_EQ(out.GetParamOrder(), -1);
    EXPECT_EQ(out.GetFieldOrder(), -1);
    EXPECT_EQ(out.GetParamKey(), in.GetParamKey());
    EXPECT_EQ(out.GetFieldName(), in.GetFieldName());
    EXPECT_EQ(out.GetRowType(), in.GetRowType());
    EXPECT_EQ(out.GetPosType(), in.GetPosType());
    EXPECT_EQ(out.GetRegExt(), true);
    EXPECT_EQ(out.GetOneLine(), true);
    EXPECT_EQ(out.GetTrim(), true);
    EXPECT_EQ(out.GetAutoFormat(), 72);
    EXPECT_EQ(out.GetStartLine(), false);
    EXPECT_EQ(out.GetEndStr(), in.GetEndStr());
    EXPECT_EQ(out.GetEndStrRegExp(), true);
    EXPECT_EQ(out.GetMailAddress(), true);
    EXPECT_EQ(out.GetMailName(), false);
}

TEST_F(ParamEditTest, SetParamShowsEffectiveValues) {
    // A header parameter's stored end string and its regex flag do not apply.
    TOrderedParamString header = PlainParam(Sj("From:"), 0, "", TOrderedParamString::RowSingle,
                                            TOrderedParamString::PosHeader, 0);
    header.SetEndStr(Sj("x"));
    header.SetEndStrRegExp(true);
    header.SetMailName(true);
    form.SetParam(header);
    EXPECT_EQ(fieldName->text(), Q("From:"));
    EXPECT_TRUE(fieldNameCheck->isChecked());
    EXPECT_EQ(endString->text(), QString());
    EXPECT_FALSE(endRegExp->isChecked());
    EXPECT_TRUE(mailName->isChecked());
    EXPECT_TRUE(mailName->isEnabled());
    EXPECT_EQ(pos->ItemIndex(), 1);
    EXPECT_FALSE(autoFormat->isChecked());
    // The program set the key: no shortcut counts as chosen.
    PressOK();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Key(), Q("From:"));
}

TEST_F(ParamEditTest, HelpCancelAndF1) {
    QTest::mouseClick(Find<QPushButton>(form, "BtnHelp"), Qt::LeftButton);
    QTest::keyClick(key->lineEdit(), Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{10, 10}));
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(Find<QPushButton>(form, "BtnCancel"), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(ParamEditTest, StatusBarShowsTheFocusedControlsHint) {
    fieldName->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form.StatusText(), Q("フィールド名(CSVファイルの一行目)"));
    pages->setCurrentIndex(1);
    autoFormatWidth->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form.StatusText(), Q("改行を入れる桁位置を指定します。"));
    EXPECT_EQ(autoFormatWidth->toolTip(), Q("改行を入れる桁位置"));
}

TEST(ParamEditParse, HeaderKeyAndInteger) {
    EXPECT_EQ(TFormParamEdit::NormalizeHeaderKey(QString()), Q(":"));
    EXPECT_EQ(TFormParamEdit::NormalizeHeaderKey(Q("\x01X\x1f")), Q("X:"));
    int v = -5;
    EXPECT_FALSE(TFormParamEdit::ParseInteger(Q(" 12"), &v));
    EXPECT_FALSE(TFormParamEdit::ParseInteger(Q("$1F"), &v));
    EXPECT_FALSE(TFormParamEdit::ParseInteger(Q("99999999999"), &v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(TFormParamEdit::ParseInteger(Q("-0012"), &v));
    EXPECT_EQ(v, -12);
}
