#include <gtest/gtest.h>
#include <QLineEdit>

#include "GuiTest.h"
#include "gui/controls/THistoryComboBox.h"

namespace {

void AddAll(THistoryComboBox& box, const QStringList& texts) {
    for (const QString& t : texts) {
        box.Add(t);
    }
}

}  // namespace

TEST(HistoryComboBox, MostRecentFirstWithoutDuplicates) {
    struct Case {
        QStringList added;
        QStringList expected;
    };
    const Case cases[] = {
        {{"A", "B", "A"}, {"A", "B"}},
        {{"abc", "ABC"}, {"ABC", "abc"}},  // exact, case-sensitive comparison
        {{"a", "b", "c", "b"}, {"b", "c", "a"}},
        {{"x", "x", "x"}, {"x"}},
        {{"", "a"}, {"a", ""}},
    };
    for (const Case& c : cases) {
        THistoryComboBox box;
        AddAll(box, c.added);
        EXPECT_EQ(box.Items(), c.expected) << c.added.join(u',').toStdString();
    }
}

TEST(HistoryComboBox, KeepsTheNewestTenByDefault) {
    THistoryComboBox box;
    EXPECT_EQ(box.GetHistoryCount(), 10);
    for (int i = 1; i <= 11; ++i) {
        box.Add(QString::number(i));
    }
    ASSERT_EQ(box.count(), 10);
    EXPECT_EQ(box.itemText(0), QStringLiteral("11"));
    EXPECT_EQ(box.itemText(9), QStringLiteral("2"));
}

TEST(HistoryComboBox, SmallerCountAppliesAtTheNextAdd) {
    THistoryComboBox box;
    AddAll(box, {"1", "2", "3", "4", "5"});
    box.SetHistoryCount(2);
    EXPECT_EQ(box.count(), 5);
    box.Add(QStringLiteral("6"));
    EXPECT_EQ(box.Items(), (QStringList{"6", "5"}));
}

TEST(HistoryComboBox, AddStringsAppendsAsGiven) {
    THistoryComboBox box;
    box.SetHistoryCount(2);
    box.Add(QStringLiteral("a"));
    box.AddStrings({"b", "a", "c"});
    EXPECT_EQ(box.Items(), (QStringList{"a", "b", "a", "c"}));
}

TEST(HistoryComboBox, AddLeavesTheEditTextAlone) {
    THistoryComboBox box;
    ShowActive(box);
    box.setFocus();
    QTest::keyClicks(box.lineEdit(), QStringLiteral("/typed/path"));
    box.Add(Q("/home/山田/メール"));
    EXPECT_EQ(box.currentText(), QStringLiteral("/typed/path"));
    // Enter in the edit part adds nothing to the history.
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(box.Items(), QStringList{Q("/home/山田/メール")});

    THistoryComboBox empty;
    empty.Add(QStringLiteral("first"));
    EXPECT_EQ(empty.currentText(), QString());
}
