#pragma once
// Project settings ("プロジェクトの設定"): whether the project keeps the
// result window's size and its column widths. OK sets both flags on the
// result-window geometry record; they reach the project file with its next
// save. Cancel changes nothing.

#include "gui/app/TDialogForm.h"

class QCheckBox;
class QPushButton;
class TParamFormConvert;

class TFormProjectSetting : public TDialogForm {
    Q_OBJECT
  public:
    static constexpr int HelpTopic = 139;

    explicit TFormProjectSetting(TParamFormConvert& geometry, QWidget* parent = nullptr);

    void BtnOKClick();

  private:
    TParamFormConvert& geometry_;
    QCheckBox* checkBoxFormSize_;
    QCheckBox* checkBoxGridColSize_;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
};
