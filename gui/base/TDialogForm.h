#pragma once
// Base of the program's modal dialogs: a status bar that shows the status tip
// of the control under the mouse or in focus, F1 for the help context of the
// focused control (or the form's), and a fixed size no smaller than the
// design size, grown where the layout needs more room for the text.

#include <QDialog>
#include <QSize>

#include <initializer_list>

class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QStatusBar;

class TDialogForm : public QDialog {
    Q_OBJECT
  public:
    explicit TDialogForm(QWidget* parent);
    ~TDialogForm() override;

    QStatusBar* StatusBar() const { return statusBar_; }
    void SetHelpContext(int topic);
    int GetHelpContext() const;
    // The status text now shown.
    QString StatusText() const;

  protected:
    // Puts the status bar at the bottom of the form's main layout.
    void AddStatusBar(QBoxLayout* layout);
    // A row of dialog buttons in the platform's order and alignment. A
    // button's role comes from its name: BtnOK accepts, BtnCancel and
    // BtnClose reject, BtnNo declines, BtnHelp asks for help, any other is
    // an action.
    static QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);
    // Fixes the form's size: the design client size or what the layout needs.
    void FixSize(QSize designClientSize);

    // A form never opens larger than its screen's free area.
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FocusChanged(QWidget* now);
    // The help topic of the focused control, else the form's (0: contents).
    void ShowHelp();

    QStatusBar* statusBar_ = nullptr;
    QMetaObject::Connection focusConnection_;
};
