#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "GuiTest.h"
#include "gui/controls/TMLCellDelegate.h"
#include "gui/controls/TMLInplaceEdit.h"
#include "gui/controls/TMLStringGrid.h"
#include "gui/controls/TStringGridModel.h"

namespace {

class MLStringGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.SetSize(3, 3);
        model.SetCell(0, 0, QStringLiteral("ab"));
        model.SetCell(0, 1, QStringLiteral("x\r\ny"));
        model.SetCell(1, 0, QStringLiteral("below"));
        grid.setModel(&model);
        grid.resize(400, 300);
        ShowActive(grid);
        grid.setFocus();
        grid.setCurrentIndex(model.index(0, 0));
    }

    TMLInplaceEdit* OpenWithF2() {
        QTest::keyClick(&grid, Qt::Key_F2);
        return grid.InplaceEditor();
    }

    TStringGridModel model;
    TMLStringGrid grid;
};

// Rows of the picture that hold any dark pixel.
int InkedRows(const QImage& image) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

// Ink height of one cell drawn by the grid's delegate.
int DrawnHeight(TMLStringGrid& grid, TStringGridModel& model, const QString& text) {
    model.SetCell(2, 2, text);
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(&grid);
    option.rect = image.rect();
    option.palette.setColor(QPalette::Text, Qt::black);
    option.palette.setColor(QPalette::Base, Qt::white);
    grid.itemDelegate()->paint(&painter, option, model.index(2, 2));
    painter.end();
    return InkedRows(image);
}

}  // namespace

TEST_F(MLStringGridTest, F2PutsTheCaretAtTheEnd) {
    TMLInplaceEdit* editor = OpenWithF2();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->textCursor().hasSelection());
    QTest::keyClicks(editor, QStringLiteral("c"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(grid.InplaceEditor(), nullptr);
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("abc"));
}

TEST_F(MLStringGridTest, EnterOpensWithTheCaretAtTheEndAndThenBreaksLines) {
    QTest::keyClick(&grid, Qt::Key_Return);
    TMLInplaceEdit* editor = grid.InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->textCursor().hasSelection());
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClicks(editor, QStringLiteral("z"));
    ASSERT_EQ(grid.InplaceEditor(), editor);
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    // Line breaks are stored as CR LF.
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("ab\r\n\r\nz"));
}

TEST_F(MLStringGridTest, TypingReplacesTheCell) {
    QTest::keyClicks(&grid, QStringLiteral("n"));
    TMLInplaceEdit* editor = grid.InplaceEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("n"));
}

TEST_F(MLStringGridTest, PlainArrowsStayInTheCell) {
    grid.setCurrentIndex(model.index(0, 1));
    TMLInplaceEdit* editor = OpenWithF2();
    ASSERT_NE(editor, nullptr);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Up,
                        Qt::Key_Left, Qt::Key_Left, Qt::Key_Left}) {
        QTest::keyClick(editor, key);
    }
    EXPECT_EQ(grid.InplaceEditor(), editor);
    EXPECT_EQ(grid.currentIndex(), model.index(0, 1));
    EXPECT_EQ(editor->textCursor().position(), 0);
    // Shift+arrows select inside the cell and do not leave it either.
    QTest::keyClick(editor, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(grid.currentIndex(), model.index(0, 1));
}

TEST_F(MLStringGridTest, CtrlArrowsMoveTheEditingToTheNeighbour) {
    TMLInplaceEdit* editor = OpenWithF2();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("!"));
    QTest::keyClick(editor, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("ab!"));
    EXPECT_EQ(grid.currentIndex(), model.index(0, 1));
    TMLInplaceEdit* next = grid.InplaceEditor();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->toPlainText(), QStringLiteral("x\ny"));
    EXPECT_FALSE(next->textCursor().hasSelection());
    EXPECT_EQ(next->textCursor().position(), 3);

    QTest::keyClick(next, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(grid.currentIndex(), model.index(1, 0));
    // At the edge the editing stays where it is.
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(grid.currentIndex(), model.index(1, 0));
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(model.Cell(0, 1), QStringLiteral("x\r\ny"));
    EXPECT_EQ(model.Cell(1, 0), QStringLiteral("below"));
}

TEST_F(MLStringGridTest, EscapeKeepsTheOldText) {
    TMLInplaceEdit* editor = OpenWithF2();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("zzz"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(grid.InplaceEditor(), nullptr);
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("ab"));
}

TEST_F(MLStringGridTest, LineBreaksAlwaysDrawnWrappingOnlyWithWordWrap) {
    EXPECT_FALSE(grid.GetWordWrap());
    const int oneLine = DrawnHeight(grid, model, QStringLiteral("Hg"));
    ASSERT_GT(oneLine, 0);
    const QString longLine = QStringLiteral("wrap wrap wrap wrap wrap wrap wrap wrap");
    for (const QString& twoLines : {QStringLiteral("Hg\r\nHg"), QStringLiteral("Hg\nHg")}) {
        EXPECT_GT(DrawnHeight(grid, model, twoLines), oneLine * 3 / 2);
    }
    EXPECT_LE(DrawnHeight(grid, model, longLine), oneLine);
    grid.SetWordWrap(true);
    EXPECT_TRUE(grid.GetWordWrap());
    EXPECT_GT(DrawnHeight(grid, model, longLine), oneLine * 3 / 2);
    EXPECT_GT(DrawnHeight(grid, model, QStringLiteral("Hg\r\nHg")), oneLine * 3 / 2);
    // '&' is drawn as itself, not as an accelerator mark.
    EXPECT_GT(DrawnHeight(grid, model, QStringLiteral("&")), 0);
}

TEST(MLCellDelegate, LineBreakConversions) {
    EXPECT_EQ(TMLCellDelegate::ToDisplayLines(QStringLiteral("a\r\nb\rc\nd")),
              QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(TMLCellDelegate::ToStoredLines(QStringLiteral("a\nb\r\nc")),
              QStringLiteral("a\r\nb\r\nc"));
}

TEST(StringGridModel, ResizeKeepsCellsInside) {
    TStringGridModel model;
    model.SetSize(2, 2);
    model.SetCell(0, 0, QStringLiteral("a"));
    model.SetCell(1, 1, QStringLiteral("d"));
    model.SetCell(5, 5, QStringLiteral("ignored"));
    model.SetSize(3, 1);
    EXPECT_EQ(model.Cell(0, 0), QStringLiteral("a"));
    EXPECT_EQ(model.Cell(1, 1), QString());
    model.SetSize(-1, 4);
    EXPECT_EQ(model.rowCount(), 0);
}
