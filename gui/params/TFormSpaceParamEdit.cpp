#include "gui/params/TFormSpaceParamEdit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"

TFormSpaceParamEdit::TFormSpaceParamEdit(QWidget* parent)
    : TFormAbstructParamEdit(parent),
      editFieldName_(new QLineEdit(this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(U("キャンセル"), this)),
      btnHelp_(new QPushButton(U("ヘルプ(&H)"), this)) {
    setWindowTitle(U("空列"));
    editFieldName_->setObjectName(QStringLiteral("EditFieldName"));
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnHelp_->setObjectName(QStringLiteral("BtnHelp"));
    btnOK_->setDefault(true);

    THint::Apply(editFieldName_, U("フィールド名|フィールド名"));
    THint::Apply(btnOK_, U("|設定を登録する"));
    THint::Apply(btnCancel_, U("|設定を中止する"));
    THint::Apply(btnHelp_, U("|ヘルプを表示する"));

    auto* label = new QLabel(U("フィールド名(&F)"), this);
    label->setBuddy(editFieldName_);
    QHBoxLayout* buttons = ButtonRow({btnOK_, btnCancel_, btnHelp_});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(label);
    layout->addWidget(editFieldName_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    AddStatusBar(layout);

    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp_, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(THelpTopic::EmptyColumn); });
    // F1 anywhere in the form shows what its Help button shows.
    SetHelpContext(THelpTopic::EmptyColumn);
    FixSize(QSize(320, 110));
    editFieldName_->setFocus();
}

TOrderedParamString TFormSpaceParamEdit::GetParam() const {
    return TOrderedParamString(-1, std::string(), -1, TQtText::ToSjis(editFieldName_->text()),
                               TOrderedParamString::RowEmpty, TOrderedParamString::PosEmpty, false,
                               false, false, 0, true, std::string(), false, false, false);
}

void TFormSpaceParamEdit::SetParam(const TOrderedParamString& param) {
    editFieldName_->setText(TQtText::FromSjis(param.GetFieldName()));
}
