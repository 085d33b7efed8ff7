#pragma once
// Clearing the settings ("設定の削除"): OK, without a further question,
// removes this program's association of project files (only when it names
// this program), deletes the settings file and removes its folder when that
// is empty. The values TAppIni holds stay in memory but, the file being gone,
// are not written at the program's end.

#include "gui/base/TDialogForm.h"

class QPushButton;
class TAppIni;

class TFormClearSetting : public TDialogForm {
    Q_OBJECT
  public:
    TFormClearSetting(TAppIni& appIni, const QString& programPath, QWidget* parent = nullptr);
    explicit TFormClearSetting(TAppIni& appIni, QWidget* parent = nullptr);

    void BtnOKClick();

  private:
    TAppIni& appIni_;
    QString programPath_;
    QPushButton* btnOK_;
    QPushButton* btnNo_;
};
