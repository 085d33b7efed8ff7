#include "gui/settings/TFormProjectSetting.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "convert/TParamFormConvert.h"
#include "gui/app/THint.h"
#include "gui/app/UiText.h"

TFormProjectSetting::TFormProjectSetting(TParamFormConvert& geometry, QWidget* parent)
    : TDialogForm(parent),
      geometry_(geometry),
      checkBoxFormSize_(new QCheckBox(U("変換結果画面のサイズを保存する(&S)"))),
      checkBoxGridColSize_(new QCheckBox(U("変換結果画面の列幅を保存する(&R)"))),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(U("キャンセル"), this)) {
    setWindowTitle(U("プロジェクトの設定"));
    SetHelpContext(HelpTopic);
    checkBoxFormSize_->setObjectName(QStringLiteral("CheckBoxFormSize"));
    checkBoxGridColSize_->setObjectName(QStringLiteral("CheckBoxGridColSize"));
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOK_->setDefault(true);
    THint::Apply(checkBoxFormSize_,
                 U("変換結果画面のサイズを保存する|変換結果画面のサイズを保存する"));
    THint::Apply(checkBoxGridColSize_,
                 U("変換結果画面の列幅を保存する|変換結果画面の列幅を保存する"));
    checkBoxFormSize_->setChecked(geometry_.GetKeepWindowSize());
    checkBoxGridColSize_->setChecked(geometry_.GetKeepColumnWidths());

    auto* group = new QGroupBox(U("変換結果画面"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(checkBoxFormSize_);
    groupLayout->addWidget(checkBoxGridColSize_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(group);
    layout->addStretch(1);
    layout->addLayout(ButtonRow({btnOK_, btnCancel_}));
    AddStatusBar(layout);

    connect(btnOK_, &QPushButton::clicked, this, &TFormProjectSetting::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    FixSize(QSize(300, 130));
}

void TFormProjectSetting::BtnOKClick() {
    geometry_.SetKeepWindowSize(checkBoxFormSize_->isChecked());
    geometry_.SetKeepColumnWidths(checkBoxGridColSize_->isChecked());
    accept();
}
