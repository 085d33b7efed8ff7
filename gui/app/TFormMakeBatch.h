#pragma once
// The automatic-run script maker: two pages that collect a project, a CSV
// file and how to save it, then write a shell script that runs the project
// unattended (see core/settings/TAutoRunScript). It does not read the project.

#include "gui/base/TDialogForm.h"
#include "gui/base/TModalService.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TRadioGroup;

class TFormMakeBatch : public TDialogForm {
    Q_OBJECT
  public:
    explicit TFormMakeBatch(QWidget* parent = nullptr);

    // The program the script starts; the running executable by default.
    void SetProgramPath(const QString& path) { programPath_ = path; }

  private:
    QWidget* BuildProjectPage();
    QWidget* BuildCsvPage();
    void BtnParamFileOpenClick();
    void BtnCSVFileOpenClick();
    void BitBtnNextClick();
    void BtnMakeClick();
    // Shows the page and puts the focus into its path box.
    void ShowPage(int index, QLineEdit* focus);
    bool ProjectExists() const;
    void WriteScript(const QString& scriptPath);

    QString programPath_;
    QTabWidget* pages_;
    QLineEdit* editParamFile_;
    QLineEdit* editCSVFile_;
    TRadioGroup* radioGroupSaveParam_;
    QCheckBox* checkBoxBackup_;
    QCheckBox* checkBoxHeadless_;
    QCheckBox* checkBoxOnlyNew_;
    // Kept across uses so each dialog starts where the last one ended.
    TFileRequest projectRequest_;
    TFileRequest csvRequest_;
    TFileRequest scriptRequest_;
};
