#pragma once
// Project settings ("プロジェクトの設定"): whether HTML-only mails are read
// as text, whether the project keeps the result window's size and its
// column widths, and whether it converts only new mail. OK sets the HTML
// flag, the flags on the result-window geometry record and the project's
// save options; they reach the project file with its next save. Cancel
// changes nothing. The forget button clears at once the record of mails
// converted into the project's CSV file.

#include <string>

#include "gui/base/TDialogForm.h"
#include "settings/TCSVSaveParam.h"

class QCheckBox;
class QPushButton;
class TParamFormConvert;

class TFormProjectSetting : public TDialogForm {
    Q_OBJECT
  public:
    // `sjisOutput`: the project's CSV file (Shift_JIS path), empty when it
    // names none. `htmlText`: the project's HTMLTEXT.
    TFormProjectSetting(TParamFormConvert& geometry, TCSVSaveParam& save, std::string sjisOutput,
                        bool& htmlText, QWidget* parent = nullptr);

    void BtnOKClick();
    void BtnForgetClick();

  private:
    TParamFormConvert& geometry_;
    TCSVSaveParam& save_;
    std::string output_;
    bool& htmlText_;
    QCheckBox* checkBoxHtmlText_;
    QCheckBox* checkBoxFormSize_;
    QCheckBox* checkBoxGridColSize_;
    QCheckBox* checkBoxOnlyNew_;
    QPushButton* btnForget_;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
};
