#pragma once
// General settings ("全般設定"): what happens at start (reopen the last
// project, restore the window size), the association of project files with
// this program, and whether the optional kanji-filter library is in use.
// OK stores the start-up choices in TAppIni and writes them at once;
// the association buttons act at once, whatever OK or Cancel do later.

#include "gui/base/TDialogForm.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class TAppIni;

class TFormCommonSetting : public TDialogForm {
    Q_OBJECT
  public:
    // `programPath` is the program the association names (normally the
    // running one).
    TFormCommonSetting(TAppIni& appIni, const QString& programPath, QWidget* parent = nullptr);
    explicit TFormCommonSetting(TAppIni& appIni, QWidget* parent = nullptr);

    void BtnOKClick();
    void BtnLinkClick();
    void BtnUnlinkClick();
    void RefreshLinkedText();

  private:
    QWidget* MakeStartPage();
    QWidget* MakeLinkPage();
    QWidget* MakeConverterPage();

    TAppIni& appIni_;
    QString programPath_;
    QTabWidget* pageControl_;
    QCheckBox* checkBoxRestoreParamFile_ = nullptr;
    QCheckBox* checkBoxRestoreWindowSize_ = nullptr;
    QLabel* labelLinkedText_ = nullptr;
    QPushButton* btnLink_ = nullptr;
    QPushButton* btnUnlink_ = nullptr;
    QLabel* staticTextNkf_ = nullptr;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
};
