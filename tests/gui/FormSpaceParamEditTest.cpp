#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPushButton>

#include "GuiTest.h"
#include "TParamMaker.h"
#include "gui/params/TFormSpaceParamEdit.h"

using SpaceParamEditTest = GuiFixture;

TEST_F(SpaceParamEditTest, BuildsAnEmptyColumnFromAnyName) {
    for (const char* name : {"備考", ""}) {
        TFormSpaceParamEdit form;
        ShowActive(form);
        EXPECT_EQ(form.windowTitle(), Q("空列"));
        Type(Find<QLineEdit>(form, "EditFieldName"), Q(name));
        QTest::mouseClick(Find<QPushButton>(form, "BtnOK"), Qt::LeftButton);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        const TOrderedParamString p = form.GetParam();
        EXPECT_EQ(p.GetFieldName(), Sj(name));
        EXPECT_EQ(p.GetParamKey(), "");
        EXPECT_EQ(p.GetParamOrder(), -1);
        EXPECT_EQ(p.GetFieldOrder(), -1);
        EXPECT_EQ(p.GetRowType(), TOrderedParamString::RowEmpty);
        EXPECT_EQ(p.GetPosType(), TOrderedParamString::PosEmpty);
        EXPECT_TRUE(p.GetStartLine());
        EXPECT_FALSE(p.GetRegExt() || p.GetOneLine() || p.GetTrim() || p.GetEndStrRegExp() ||
                     p.GetMailAddress() || p.GetMailName());
        EXPECT_EQ(p.GetAutoFormat(), 0);
    }
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(SpaceParamEditTest, EditingShowsOnlyTheFieldName) {
    TFormSpaceParamEdit form;
    const TOrderedParamString column = PlainParam("", 2, Sj("メモ"), TOrderedParamString::RowEmpty,
                                                  TOrderedParamString::PosEmpty, 4);
    form.SetParam(column);
    ShowActive(form);
    auto* edit = Find<QLineEdit>(form, "EditFieldName");
    EXPECT_EQ(edit->text(), Q("メモ"));
    EXPECT_TRUE(edit->hasFocus());
    edit->selectAll();
    Type(edit, Q("メモ2"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetParam().GetFieldName(), Sj("メモ2"));
}

TEST_F(SpaceParamEditTest, HelpButtonShowsItsOwnTopic) {
    TFormSpaceParamEdit form;
    ShowActive(form);
    QTest::mouseClick(Find<QPushButton>(form, "BtnHelp"), Qt::LeftButton);
    // F1 in the form shows the same topic.
    QTest::keyClick(Find<QLineEdit>(form, "EditFieldName"), Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{135, 135}));
    QTest::keyClick(Find<QLineEdit>(form, "EditFieldName"), Qt::Key_Escape);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
}
