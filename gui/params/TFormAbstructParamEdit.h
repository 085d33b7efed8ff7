#pragma once
// What the main window needs of a parameter editor, whichever it opens:
// load a parameter into the dialog, and build one from the dialog.

#include "gui/base/TDialogForm.h"
#include "params/TOrderedParamString.h"

class TFormAbstructParamEdit : public TDialogForm {
    Q_OBJECT
  public:
    using TDialogForm::TDialogForm;

    // A new parameter from the controls; both orders -1 (the list and the
    // caller number them).
    virtual TOrderedParamString GetParam() const = 0;
    virtual void SetParam(const TOrderedParamString& param) = 0;
};
