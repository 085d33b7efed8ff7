#pragma once
// Asked when the chosen CSV file exists: overwrite it, append to it, or
// cancel; and whether to keep a ".bak" copy of it first. The button of the
// project's save type is the default one and has the focus.

#include "gui/base/TDialogForm.h"
#include "gui/base/TModalService.h"

class QCheckBox;
class QLabel;
class QPushButton;

class TFormSaveCSVDialog : public TDialogForm {
    Q_OBJECT
  public:
    explicit TFormSaveCSVDialog(QWidget* parent = nullptr);

    // The file as the user named it.
    void SetFileName(const QString& fileName);
    void SetMakeBackup(bool makeBackup);
    bool GetMakeBackup() const;
    // 1: append is the default choice; anything else: overwrite.
    void SetSaveType(int saveType);

    // After the dialog closed: Yes overwrite, No append, Cancel neither.
    TModalResult Answer() const { return answer_; }

    // The label's text for a file name.
    static QString Text(const QString& fileName);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Choose(TModalResult answer);

    QLabel* labelFile_;
    QCheckBox* checkBoxBackup_;
    QPushButton* btnOver_;
    QPushButton* btnAdd_;
    QPushButton* btnCancel_;
    QPushButton* btnHelp_;
    QPushButton* defaultButton_;
    TModalResult answer_ = TModalResult::Cancel;
};
