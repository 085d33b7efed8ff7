#include <gtest/gtest.h>
#include <QColor>
#include <QHeaderView>

#include "GuiTest.h"
#include "TParamMaker.h"
#include "gui/params/TGridConvertParam.h"
#include "gui/params/TParamGridModel.h"

namespace {

TOrderedParamString Param(const char* key, const char* name, int fieldOrder,
                          std::uint8_t posType = TOrderedParamString::PosBody,
                          std::uint8_t rowType = TOrderedParamString::RowSingle) {
    return PlainParam(Sj(key), fieldOrder, Sj(name), rowType, posType);
}

TOrderedParamString EmptyColumn(const char* name, int fieldOrder) {
    return Param("", name, fieldOrder, TOrderedParamString::PosEmpty,
                 TOrderedParamString::RowEmpty);
}

class GridTest : public ::testing::Test {
  protected:
    GridTest() : grid(new TGridConvertParam(&host)) {}

    // Column texts of all shown rows, rows separated by '/'.
    QString Column(int column) const {
        QStringList cells;
        for (int r = 0; r < grid->model()->rowCount(); ++r) {
            cells.append(grid->model()->index(r, column).data().toString());
        }
        return cells.join(u'/');
    }

    void AddNamed(std::initializer_list<const char*> names) {
        int order = grid->GetParamCount();
        for (const char* n : names) {
            grid->AddParam(Param(n, n, order++));
        }
    }

    QWidget host;
    TGridConvertParam* grid;
};

}  // namespace

TEST(ParamGridModel, SpreadsheetLetters) {
    const std::pair<int, const char*> cases[] = {
        {0, "A"},    {25, "Z"}, {26, "AA"}, {51, "AZ"},   {52, "BA"},
        {255, "IV"}, {-1, ""},  {256, ""},  {100000, ""},
    };
    for (const auto& [order, letters] : cases) {
        EXPECT_EQ(TParamGridModel::FieldLetters(order), letters) << order;
    }
}

TEST_F(GridTest, EmptyGridShowsTitlesAndOneEmptyRow) {
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(grid->GetRowCount(), 2);
    EXPECT_FALSE(grid->IsSelected());
    QStringList titles;
    for (int c = 0; c < 6; ++c) {
        titles.append(grid->model()->headerData(c, Qt::Horizontal).toString());
    }
    EXPECT_EQ(titles, (QStringList{Q("順"), Q("パラメータ"), Q("列"), Q("フィールド名"), Q("行"),
                                   Q("場")}));
    EXPECT_EQ(Column(1), QString());
    grid->RemoveParam(1);
    grid->MoveUpParam(1);
    grid->MoveDownParam(1);
    EXPECT_EQ(grid->GetParamCount(), 0);
}

TEST_F(GridTest, CellTextsColoursAndAlignment) {
    grid->AddParam(Param("お名前：", "名前", 0));
    grid->AddParam(Param("Subject:", "件名", 26, TOrderedParamString::PosHeader,
                         TOrderedParamString::RowMulti));
    grid->AddParam(EmptyColumn("備考", 2));
    TOrderedParamString odd = Param("k", "n", -1);
    odd.SetRowType(7);
    odd.SetPosType(9);
    grid->AddParam(odd);

    EXPECT_EQ(Column(0), Q("1/2//4"));
    EXPECT_EQ(Column(1), Q("お名前：/Subject://k"));
    EXPECT_EQ(Column(2), Q("A/AA/C/"));
    EXPECT_EQ(Column(3), Q("名前/件名/備考/n"));
    EXPECT_EQ(Column(4), Q("一/複//"));
    EXPECT_EQ(Column(5), Q("Ｂ/Ｈ//"));

    const auto colour = [&](int row) {
        return grid->model()->index(row, 1).data(Qt::BackgroundRole);
    };
    EXPECT_FALSE(colour(0).isValid());
    EXPECT_EQ(colour(1).value<QColor>(), QColor(0, 255, 255));
    EXPECT_EQ(colour(2).value<QColor>(), QColor(128, 128, 128));
    EXPECT_FALSE(colour(3).isValid());

    const auto align = [&](int column) {
        return grid->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(align(0), Qt::AlignHCenter);
    EXPECT_EQ(align(1), Qt::AlignLeft);
    EXPECT_EQ(align(2), Qt::AlignHCenter);
    EXPECT_EQ(align(3), Qt::AlignLeft);
}

TEST_F(GridTest, AddSelectsTheNewRowAndNumbersTheSearchOrder) {
    AddNamed({"a", "b"});
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    EXPECT_TRUE(grid->IsSelected());
    EXPECT_EQ(TQtText::FromSjis(grid->GetParam().GetParamKey()), Q("b"));
    grid->AddParam(std::vector<TOrderedParamString>{Param("c", "c", 2), Param("d", "d", 3)});
    EXPECT_EQ(grid->GetCurrentRow(), 4);
    EXPECT_EQ(Column(0), Q("1/2/3/4"));
    grid->AddParam(std::vector<TOrderedParamString>{});
    EXPECT_EQ(grid->GetCurrentRow(), 4);
}

TEST_F(GridTest, RemoveRenumbersAndClosesTheFieldOrderGap) {
    AddNamed({"a", "b", "c", "d"});
    grid->RemoveParam(2);
    EXPECT_EQ(Column(0), Q("1/2/3"));
    EXPECT_EQ(Column(1), Q("a/c/d"));
    EXPECT_EQ(Column(2), Q("A/B/C"));
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    grid->RemoveParam(3);
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    grid->RemoveParam(0);
    grid->RemoveParam(3);
    EXPECT_EQ(grid->GetParamCount(), 2);
    grid->RemoveParam(1);
    grid->RemoveParam(1);
    EXPECT_EQ(grid->GetCurrentRow(), 1);
    EXPECT_FALSE(grid->IsSelected());
    EXPECT_EQ(grid->model()->rowCount(), 1);
}

TEST_F(GridTest, MovesFollowTheRowSelectionRules) {
    AddNamed({"a", "b", "c"});
    grid->MoveUpParam(1);
    EXPECT_EQ(Column(1), Q("a/b/c"));
    grid->MoveUpParam(3);
    EXPECT_EQ(Column(1), Q("a/c/b"));
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    // Moving does not change the output order, only the search order.
    EXPECT_EQ(Column(2), Q("A/C/B"));
    EXPECT_EQ(Column(0), Q("1/2/3"));
    // Down keeps the current row where it was.
    grid->MoveDownParam(1);
    EXPECT_EQ(Column(1), Q("c/a/b"));
    EXPECT_EQ(grid->GetCurrentRow(), 1);
    grid->MoveDownParam(3);
    EXPECT_EQ(Column(1), Q("c/a/b"));
}

TEST_F(GridTest, SetClearAndFieldOrders) {
    AddNamed({"a", "b", "c"});
    grid->SetCurrentRow(2);
    TOrderedParamString changed = Param("B2", "B2", 7);
    grid->SetParam(2, changed);
    EXPECT_TRUE(grid->GetParam().Equals([&] {
        TOrderedParamString p = changed;
        p.SetParamOrder(1);
        return p;
    }()));
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    grid->SetParam(9, changed);

    grid->SetFieldOrder(1, 5);
    EXPECT_EQ(grid->GetFieldOrder(0), 5);
    EXPECT_EQ(grid->GetFieldOrder(3), -1);
    grid->ClearParamOrder();
    EXPECT_EQ(Column(2), Q("A/B/C"));

    std::vector<TOrderedParamString> all = grid->GetAllParam();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].GetId(), changed.GetId());

    grid->ClearParam();
    EXPECT_EQ(grid->GetParamCount(), 0);
    EXPECT_EQ(grid->GetRowCount(), 2);
    EXPECT_FALSE(grid->IsSelected());
}

TEST_F(GridTest, AutomaticFieldNumberingTakesEffectAtTheNextChange) {
    grid->AddParam(Param("a", "a", 5));
    grid->AddParam(Param("b", "b", 3));
    grid->SetAutoSetFieldNumber(true);
    EXPECT_TRUE(grid->GetAutoSetFieldNumber());
    EXPECT_EQ(Column(2), Q("F/D"));
    grid->AddParam(Param("c", "c", 9));
    EXPECT_EQ(Column(2), Q("A/B/C"));

    grid->SetAutoSetParamOrder(false);
    TOrderedParamString p = Param("d", "d", 0);
    p.SetParamOrder(41);
    grid->AddParam(p);
    EXPECT_EQ(Column(0), Q("1/2/3/42"));
}

TEST(GridConvertParam, ColumnWidthRule) {
    const std::map<TGridConvertParam::COL_TYPE, bool> all;
    EXPECT_EQ(TGridConvertParam::ColumnWidths(300, all),
              (TGridConvertParam::ColumnWidthArray{25, 97, 25, 97, 25, 25}));
    EXPECT_EQ(TGridConvertParam::ColumnWidths(150, all),
              (TGridConvertParam::ColumnWidthArray{25, 50, 25, 50, 25, 25}));
    EXPECT_EQ(TGridConvertParam::ColumnWidths(206, all)[1], 50);
    EXPECT_EQ(TGridConvertParam::ColumnWidths(208, all)[1], 51);
    const std::map<TGridConvertParam::COL_TYPE, bool> noRowType = {
        {TGridConvertParam::COL_ROW_TYPE, false}};
    EXPECT_EQ(TGridConvertParam::ColumnWidths(300, noRowType)[3], 110);
}

TEST_F(GridTest, MatchColWidthFillsTheClientWidth) {
    host.resize(400, 300);
    grid->setGeometry(0, 0, 320, 200);
    host.show();
    QApplication::processEvents();
    AddNamed({"a"});
    const int client = grid->viewport()->width();
    int sum = 0;
    for (int c = 0; c < 6; ++c) {
        sum += grid->columnWidth(c);
    }
    EXPECT_EQ(sum, client - 5 - (client - 105) % 2);
    // A resize refits the columns.
    grid->resize(500, 200);
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(1), (grid->viewport()->width() - 105) / 2);
    grid->SetColView(TGridConvertParam::COL_POS_TYPE, false);
    EXPECT_TRUE(grid->isColumnHidden(TGridConvertParam::COL_POS_TYPE));
    EXPECT_EQ(grid->columnWidth(1), (grid->viewport()->width() - 80) / 2);
}

TEST(GridConvertParam, MatchColWidthNeedsAParent) {
    TGridConvertParam orphan(nullptr);
    orphan.resize(300, 200);
    const int before = orphan.columnWidth(1);
    orphan.MatchColWidth();
    EXPECT_EQ(orphan.columnWidth(1), before);
}
