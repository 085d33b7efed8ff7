#pragma once
// The dialog in which the user sets the order of the CSV columns: parameters
// move from the left grid (not yet placed) to the right grid (the output
// order). OK needs every parameter on the right; the parameters come back in
// their search order with the field orders their places on the right gave them.

#include <vector>

#include "gui/base/TDialogForm.h"
#include "params/TOrderedParamString.h"

class QPushButton;
class QToolButton;
class TGridConvertParam;

class TFormEditParamOrder : public TDialogForm {
    Q_OBJECT
  public:
    explicit TFormEditParamOrder(QWidget* parent = nullptr);

    // The parameters of the main list in row order; then Reset.
    void SetParams(std::vector<TOrderedParamString> params);
    // The right grid's parameters sorted by ParamOrder.
    std::vector<TOrderedParamString> GetParams() const;

    TGridConvertParam* LeftGrid() const { return leftGrid_; }
    TGridConvertParam* RightGrid() const { return rightGrid_; }

    void ActionAddExecute();
    void ActionAllAddExecute();
    void ActionDeleteExecute();
    void ActionAddDeleteExecute();
    void ActionResetExecute();
    void BtnOKClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QToolButton* MakeMoveButton(const char* name, const QString& caption, const QString& hint);

    std::vector<TOrderedParamString> received_;
    TGridConvertParam* leftGrid_;
    TGridConvertParam* rightGrid_;
    QToolButton* btnAdd_;
    QToolButton* btnAllAdd_;
    QToolButton* btnDel_;
    QToolButton* btnAllDel_;
    QPushButton* btnOK_;
    QPushButton* btnRetry_;
    QPushButton* btnCancel_;
    QPushButton* btnHelp_;
};
