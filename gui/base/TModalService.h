#pragma once
// Everything modal that the windows show in fixed forms: message boxes of four
// kinds with six button sets and a help topic, open and save file dialogs, and
// the folder browser. Windows reach it through Current(); main() installs the
// Qt dialogs (TQtModalService), tests a scripted service that records each
// request and answers from a script.

#include <QString>
#include <optional>

class QWidget;

enum class TMsgKind { Error, Warning, Information, Confirmation };

// SaveDiscardCancel: 保存 / 保存しない / キャンセル, answered Yes / No / Cancel.
enum class TMsgButtons { Ok, OkHelp, OkCancel, YesNo, YesNoHelp, YesNoCancel, SaveDiscardCancel };

enum class TModalResult { Ok, Cancel, Yes, No };

// One file dialog. The filter is written as pairs "description|patterns|..."
// with patterns separated by ';' ("DBXファイル(*.dbx)|*.dbx"). A window that
// keeps one request across uses keeps the starting folder and name of the
// previous use.
struct TFileRequest {
    QString caption;
    QString filter;
    QString initialDir;
    QString fileName;
    QString defaultExt;  // ".KFY" or "KFY"; empty for none
};

class TModalService {
  public:
    virtual ~TModalService() = default;

    // helpTopic 0: the Help button (if any) shows the help contents.
    virtual TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind,
                                 TMsgButtons buttons, int helpTopic) = 0;
    // The chosen path, or nothing when cancelled.
    virtual std::optional<QString> OpenFile(QWidget* parent, const TFileRequest& request) = 0;
    // Asks no overwrite question: the callers ask their own.
    virtual std::optional<QString> SaveFile(QWidget* parent, const TFileRequest& request) = 0;
    virtual std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                                const QString& initialDir) = 0;

    // Nothing installed (a tool, a test): every box gets the answer Esc
    // would give and every dialog is cancelled, shown nowhere.
    static TModalService& Current();
    // Installs a service (nullptr: none) and returns the previous one. The
    // caller keeps ownership.
    static TModalService* Install(TModalService* service);

    // What Esc (or closing the box) answers: OK, No or Cancel.
    static TModalResult EscapeAnswer(TMsgButtons buttons);
};

// Installs a service for the lifetime of the scope.
class TModalServiceScope {
  public:
    explicit TModalServiceScope(TModalService& service)
        : previous_(TModalService::Install(&service)) {}
    ~TModalServiceScope() { TModalService::Install(previous_); }
    TModalServiceScope(const TModalServiceScope&) = delete;
    TModalServiceScope& operator=(const TModalServiceScope&) = delete;

  private:
    TModalService* previous_;
};
