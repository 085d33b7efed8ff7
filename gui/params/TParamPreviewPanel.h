#pragma once
// The parameter editor's preview: one mail of the main window's store at a
// time, decoded as the converter sees it, with the key line and the lines
// taken marked, and the text the parameter's CSV cell gets for that mail.
// Reading and extraction run on a worker thread; the store is opened the
// first time the panel is shown, so an editor that never previews never
// touches the store.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imap/TImapAccess.h"
#include "params/TOrderedParamString.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QToolButton;
class TPreviewWorker;
struct TPreviewSearch;

class TParamPreviewPanel : public QWidget {
    Q_OBJECT
  public:
    explicit TParamPreviewPanel(QWidget* parent = nullptr);
    ~TParamPreviewPanel() override;

    // What an IMAP store needs besides its URL (the password), asked for on
    // the window's thread when the store is opened; nothing when the user
    // gave none.
    using TImapAccessSource = std::function<std::optional<TImapAccess>()>;

    // The store as the main window's mail type and location stand.
    void SetStore(int mailType, const std::string& sjisLocation, bool htmlText,
                  TImapAccessSource imapAccess = {});
    // The project's parameters in list order with the previewed one at
    // `position`; clears a problem set before.
    void SetParams(std::vector<TOrderedParamString> params, std::size_t position);
    // Why the parameter as typed gives no value (an empty key, a regular
    // expression that does not compile): shown in place of the value.
    void SetParamProblem(const QString& problem);

    int MailIndex() const;  // from 0
    QString MessageText() const;
    QString ValueText() const;
    bool IsSearching() const { return searching_; }

  signals:
    // A mail, a value or a message has been put on the screen.
    void Shown();

  protected:
    void showEvent(QShowEvent* event) override;
    // A closed preview stops its search.
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct TView;

    void StartWorker();
    void OpenStore();
    void Display(const std::shared_ptr<const TView>& view);
    void Searched(const TPreviewSearch& result);
    void Progress(int index, int count);
    void FindNextClick();
    void SetSearching(bool searching);
    void ShowMessage(const QString& text);
    void MailNumberChanged(int number);

    QToolButton* btnPrevMail_ = nullptr;
    QSpinBox* editMailNumber_ = nullptr;
    QLabel* labelMailCount_ = nullptr;
    QToolButton* btnNextMail_ = nullptr;
    QPushButton* btnFindNext_ = nullptr;
    QLabel* labelMessage_ = nullptr;
    QPlainTextEdit* memoMail_ = nullptr;
    QPlainTextEdit* memoValue_ = nullptr;
    QProgressBar* progressSearch_ = nullptr;
    QPushButton* btnStopSearch_ = nullptr;

    std::unique_ptr<TPreviewWorker> worker_;
    int mailType_ = -1;
    bool htmlText_ = false;
    std::string location_;
    TImapAccessSource imapAccess_;
    std::vector<TOrderedParamString> params_;
    std::size_t position_ = 0;
    QString paramProblem_;
    bool searching_ = false;
    std::shared_ptr<const TView> lastView_;  // also keeps the mail shown alive
};
