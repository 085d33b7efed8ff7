#pragma once
// A small window-modal progress for work that may wait long on someone else
// (a server): it appears only when the work outlasts a moment, and its
// キャンセル button (or Esc, or closing it) asks the work to stop. The work
// itself runs elsewhere (TWorkAside); the window that owns this waits.

#include <QDialog>
#include <QTimer>
#include <functional>

class QLabel;
class QPushButton;

class TWorkProgress : public QDialog {
    Q_OBJECT

  public:
    // `cancel` runs on the window's thread, at most once.
    TWorkProgress(QWidget* window, const QString& text, std::function<void()> cancel);

    // Shows the progress after `ms` unless this is gone by then.
    void ShowAfter(int ms);

  public slots:
    void reject() override;

  private:
    std::function<void()> cancel_;
    QLabel* label_;
    QPushButton* btnCancel_;
    QTimer delay_;
};
