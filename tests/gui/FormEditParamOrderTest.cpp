#include <gtest/gtest.h>
#include <QPushButton>
#include <QToolButton>

#include "GuiTest.h"
#include "TParamMaker.h"
#include "gui/params/TFormEditParamOrder.h"
#include "gui/params/TGridConvertParam.h"

namespace {

class ParamOrderTest : public GuiFixture {
  protected:
    // Parameters as the main grid holds them: search order = row, output
    // order as given.
    void Open(std::vector<int> fieldOrders) {
        std::vector<TOrderedParamString> params;
        for (int i = 0; i < static_cast<int>(fieldOrders.size()); ++i) {
            const std::string name(1, static_cast<char>('a' + i));
            params.push_back(PlainParam(name, fieldOrders[i], name, TOrderedParamString::RowSingle,
                                        TOrderedParamString::PosBody, i));
        }
        received = params;
        form.SetParams(params);
        ShowActive(form);
    }

    // "name:letter" of each parameter of a grid, in row order.
    static QString Rows(const TGridConvertParam* grid) {
        QStringList rows;
        for (const TOrderedParamString& p : grid->GetAllParam()) {
            rows.append(TQtText::FromSjis(p.GetFieldName()) + u':' +
                        grid->model()->index(static_cast<int>(rows.size()), 2).data().toString());
        }
        return rows.join(u' ');
    }

    void ClickRow(TGridConvertParam* grid, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    void DoubleClickRow(TGridConvertParam* grid, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        // A double click is a press and release followed by the double-click press.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    void Press(const char* name) {
        QTest::mouseClick(Find<QAbstractButton>(form, name), Qt::LeftButton);
    }
    bool OkEnabled() const { return Find<QPushButton>(form, "BtnOK")->isEnabled(); }
    bool Accepted() const { return form.result() == QDialog::Accepted && !form.isVisible(); }

    // "name:FieldOrder" of GetParams.
    QString Result() const {
        QStringList out;
        for (const TOrderedParamString& p : form.GetParams()) {
            out.append(QString::fromStdString(p.GetFieldName()) + u':' +
                       QString::number(p.GetFieldOrder()));
        }
        return out.join(u' ');
    }

    std::vector<TOrderedParamString> received;
    TFormEditParamOrder form;
};

}  // namespace

TEST_F(ParamOrderTest, StartsWithEverythingOnTheLeft) {
    Open({0, 1, 2});
    EXPECT_EQ(form.windowTitle(), Q("パラメータの出力順設定"));
    EXPECT_EQ(Rows(form.LeftGrid()), Q("a:A b:B c:C"));
    EXPECT_EQ(form.RightGrid()->GetParamCount(), 0);
    EXPECT_EQ(form.LeftGrid()->GetCurrentRow(), 1);
    EXPECT_FALSE(OkEnabled());
    // OK is refused while parameters are left, even when clicked directly.
    form.BtnOKClick();
    EXPECT_FALSE(Accepted());
}

TEST_F(ParamOrderTest, ColumnsComeInTheOrderOfAdding) {
    Open({0, 1, 2});
    ClickRow(form.LeftGrid(), 3);
    Press("BtnAdd");
    EXPECT_EQ(Rows(form.LeftGrid()), Q("a:A b:B"));
    EXPECT_EQ(Rows(form.RightGrid()), Q("c:A"));
    DoubleClickRow(form.LeftGrid(), 1);
    EXPECT_FALSE(OkEnabled());
    Press("BtnAdd");
    EXPECT_EQ(Rows(form.RightGrid()), Q("c:A a:B b:C"));
    EXPECT_TRUE(OkEnabled());
    // The search order stays; each parameter gets its new column.
    EXPECT_EQ(Result(), Q("a:1 b:2 c:0"));
    Press("BtnOK");
    EXPECT_TRUE(Accepted());
    std::vector<TOrderedParamString> out = form.GetParams();
    ASSERT_EQ(out.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].GetId(), received[i].GetId());
        EXPECT_EQ(out[i].GetParamOrder(), i);
    }
}

TEST_F(ParamOrderTest, AllAddKeepsTheRowOrder) {
    Open({2, 0, 1});
    Press("BtnAllAdd");
    EXPECT_EQ(form.LeftGrid()->GetParamCount(), 0);
    EXPECT_TRUE(OkEnabled());
    EXPECT_EQ(Result(), Q("a:0 b:1 c:2"));
    // Nothing left to add: the buttons do nothing.
    Press("BtnAdd");
    Press("BtnAllAdd");
    EXPECT_EQ(form.RightGrid()->GetParamCount(), 3);
}

TEST_F(ParamOrderTest, RemovingRenumbersAndPutsTheParameterBackAtTheBottom) {
    Open({1, 2, 0});
    Press("BtnAllAdd");
    ClickRow(form.RightGrid(), 2);
    Press("BtnDel");
    EXPECT_EQ(Rows(form.RightGrid()), Q("a:A c:B"));
    // Back with the output order it was received with.
    EXPECT_EQ(Rows(form.LeftGrid()), Q("b:C"));
    EXPECT_FALSE(OkEnabled());
    DoubleClickRow(form.RightGrid(), 1);
    EXPECT_EQ(Rows(form.LeftGrid()), Q("b:C a:B"));
    EXPECT_EQ(Rows(form.RightGrid()), Q("c:A"));
    Press("BtnAllDel");
    EXPECT_EQ(Rows(form.LeftGrid()), Q("b:C a:B c:A"));
    EXPECT_EQ(form.RightGrid()->GetParamCount(), 0);
    Press("BtnDel");
    EXPECT_EQ(form.LeftGrid()->GetParamCount(), 3);
}

TEST_F(ParamOrderTest, ResetKeepsOkEnabledButOkStillRefuses) {
    Open({0, 1});
    Press("BtnAllAdd");
    ASSERT_TRUE(OkEnabled());
    Press("BtnRetry");
    EXPECT_EQ(Rows(form.LeftGrid()), Q("a:A b:B"));
    EXPECT_EQ(form.RightGrid()->GetParamCount(), 0);
    EXPECT_EQ(form.LeftGrid()->GetCurrentRow(), 1);
    EXPECT_TRUE(OkEnabled());
    Press("BtnOK");
    EXPECT_FALSE(Accepted());
    ClickRow(form.LeftGrid(), 2);
    Press("BtnAdd");
    Press("BtnOK");
    EXPECT_FALSE(Accepted());
}

TEST_F(ParamOrderTest, SingleParameter) {
    Open({5});
    Press("BtnAdd");
    EXPECT_TRUE(OkEnabled());
    Press("BtnOK");
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(Result(), Q("a:0"));
}

TEST_F(ParamOrderTest, CancelHelpAndHints) {
    Open({0});
    Press("BtnHelp");
    QTest::keyClick(form.LeftGrid(), Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{61, 61}));
    EXPECT_EQ(Find<QToolButton>(form, "BtnAllAdd")->toolTip(), Q("すべて追加"));
    EXPECT_EQ(Find<QToolButton>(form, "BtnAllAdd")->statusTip(), Q("すべてのパラメータを追加する"));
    Press("BtnCancel");
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ParamOrderTest, EmptyListNeedsNothing) {
    Open({});
    Press("BtnAdd");
    Press("BtnAllAdd");
    Press("BtnDel");
    Press("BtnAllDel");
    EXPECT_FALSE(OkEnabled());
    EXPECT_TRUE(form.GetParams().empty());
}
