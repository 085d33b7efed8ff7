#pragma once
// The About window ("バージョン情報"): the program icon, product name and
// version, and a link that opens the program's web address in the default
// browser; a build without an address links to the help contents instead.

#include "gui/base/TDialogForm.h"

class QLabel;
class QPushButton;

class TFormAbout : public TDialogForm {
    Q_OBJECT
  public:
    explicit TFormAbout(QWidget* parent = nullptr);

    // What the link does when clicked.
    void LinkClick();

  private:
    QLabel* labelProductName_;
    QLabel* labelVersion_;
    QLabel* labelLink_;
    QPushButton* btnOK_;
};
