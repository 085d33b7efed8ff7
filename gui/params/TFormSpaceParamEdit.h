#pragma once
// The dialog for an empty column: a column that only has a field name and an
// empty value in every row. Any name is accepted, the empty one included.

#include "gui/params/TFormAbstructParamEdit.h"

class QLineEdit;
class QPushButton;

class TFormSpaceParamEdit : public TFormAbstructParamEdit {
    Q_OBJECT
  public:
    explicit TFormSpaceParamEdit(QWidget* parent = nullptr);

    TOrderedParamString GetParam() const override;
    void SetParam(const TOrderedParamString& param) override;

  private:
    QLineEdit* editFieldName_;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
    QPushButton* btnHelp_;
};
