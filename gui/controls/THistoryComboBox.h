#pragma once
// An editable combo box whose drop-down keeps a most-recent-first history of
// texts (the mail location of the main window). Only Add changes the history:
// pressing Enter in the edit part adds nothing.

#include <QComboBox>
#include <QStringList>

class THistoryComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit THistoryComboBox(QWidget* parent = nullptr);

    // Puts `text` at the top, drops its older copies (exact comparison) and
    // keeps at most HistoryCount entries. The edit text stays as it was.
    void Add(const QString& text);
    // Appends every string in order; no duplicate removal, no limit.
    void AddStrings(const QStringList& list);

    // A smaller count shortens the list at the next Add.
    void SetHistoryCount(int count) { historyCount_ = count; }
    int GetHistoryCount() const { return historyCount_; }

    QStringList Items() const;

  private:
    // Changes the item list without touching the edit text or its signals.
    template <class Change>
    void KeepingEditText(Change change);

    int historyCount_ = 10;
};
