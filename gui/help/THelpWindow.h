#pragma once
// The help window: the contents list and a search box on the left, the page
// on the right, with back, forward and contents buttons. Links between pages
// stay in the window; links to web addresses open in the default browser.

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTextBrowser;

class THelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    void ShowTopic(int topic);
    // The topic of the page now shown (0 when it is none of ours).
    int CurrentTopic() const;
    // Fills the result list with the pages that hold the words, and shows the
    // first one with the first word marked.
    void Search(const QString& query);

    // A modal dialog blocks every other window, so while one is open the help
    // window becomes its child and stays usable; when the dialog hides, the
    // help window goes back to being a window of its own.
    void FollowModal(QWidget* modal);

    QTextBrowser* Browser() const { return browser_; }
    QListWidget* Results() const { return listResults_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* MakeContentsPage();
    QWidget* MakeSearchPage();
    void ItemActivated(QListWidgetItem* item);
    void LinkClicked(const QUrl& url);
    void SourceChanged(const QUrl& url);
    void MarkFirst(const QString& word);
    void Reparent(QWidget* parent);

    QTabWidget* navigation_;
    QListWidget* listContents_ = nullptr;
    QLineEdit* editSearch_ = nullptr;
    QPushButton* btnSearch_ = nullptr;
    QListWidget* listResults_ = nullptr;
    QTextBrowser* browser_;
    QPushButton* btnContents_;
    QPushButton* btnBack_;
    QPushButton* btnForward_;
    QString lastQuery_;
};
