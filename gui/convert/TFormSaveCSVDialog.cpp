#include "gui/convert/TFormSaveCSVDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/THelpService.h"
#include "gui/base/UiText.h"

namespace {

// A long path is shortened in the middle rather than widening the dialog.
constexpr int MaxNameWidth = 460;

}  // namespace

TFormSaveCSVDialog::TFormSaveCSVDialog(QWidget* parent)
    : TDialogForm(parent),
      labelFile_(new QLabel(this)),
      checkBoxBackup_(new QCheckBox(U("バックアップファイルを作成する(&B)"), this)),
      btnOver_(new QPushButton(U("上書き保存(&S)"), this)),
      btnAdd_(new QPushButton(U("追加保存(&A)"), this)),
      btnCancel_(new QPushButton(U("キャンセル"), this)),
      btnHelp_(new QPushButton(U("ヘルプ(&H)"), this)),
      defaultButton_(btnOver_) {
    setObjectName(QStringLiteral("FormSaveCSVDialog"));
    setWindowTitle(U("ファイルの保存"));
    labelFile_->setObjectName(QStringLiteral("LabelFile"));
    labelFile_->setTextFormat(Qt::PlainText);
    checkBoxBackup_->setObjectName(QStringLiteral("CheckBoxBackup"));
    btnOver_->setObjectName(QStringLiteral("BtnOver"));
    btnAdd_->setObjectName(QStringLiteral("BtnAdd"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnHelp_->setObjectName(QStringLiteral("BtnHelp"));
    for (QPushButton* b : {btnOver_, btnAdd_}) {
        b->setMinimumWidth(97);
    }
    THelpService::SetContext(btnHelp_, THelpTopic::SaveCsv);
    SetHelpContext(THelpTopic::SaveCsv);  // F1 anywhere in the form

    auto* icon = new QLabel(this);
    icon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(32, 32));
    auto* text = new QVBoxLayout;
    text->addWidget(labelFile_);
    text->addSpacing(8);
    text->addWidget(checkBoxBackup_);
    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addLayout(text, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(body, 1);
    layout->addLayout(ButtonRow({btnOver_, btnAdd_, btnCancel_, btnHelp_}));

    connect(btnOver_, &QPushButton::clicked, this, [this] { Choose(TModalResult::Yes); });
    connect(btnAdd_, &QPushButton::clicked, this, [this] { Choose(TModalResult::No); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { Choose(TModalResult::Cancel); });
    connect(btnHelp_, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(THelpTopic::SaveCsv); });
    SetFileName(QString());
    SetSaveType(0);
}

QString TFormSaveCSVDialog::Text(const QString& fileName) {
    return fileName +
           U("\nは、すでに存在します。\n\n\n上書き保存…既存のデータを削除し、新しいデータを登録"
             "します。\n\n追加保存　…既存のデータの後ろに、新しいデータを登録します。\n\nキャンセ"
             "ル…操作を中止します。");
}

void TFormSaveCSVDialog::SetFileName(const QString& fileName) {
    const QString shown =
        labelFile_->fontMetrics().elidedText(fileName, Qt::ElideMiddle, MaxNameWidth);
    labelFile_->setText(Text(shown));
    labelFile_->setToolTip(shown == fileName ? QString() : fileName);
    FixSize(QSize(407, 220));
}

void TFormSaveCSVDialog::SetMakeBackup(bool makeBackup) {
    checkBoxBackup_->setChecked(makeBackup);
}

bool TFormSaveCSVDialog::GetMakeBackup() const {
    return checkBoxBackup_->isChecked();
}

void TFormSaveCSVDialog::SetSaveType(int saveType) {
    defaultButton_ = saveType == 1 ? btnAdd_ : btnOver_;
    btnOver_->setDefault(defaultButton_ == btnOver_);
    btnAdd_->setDefault(defaultButton_ == btnAdd_);
}

void TFormSaveCSVDialog::showEvent(QShowEvent* event) {
    TDialogForm::showEvent(event);
    answer_ = TModalResult::Cancel;
    defaultButton_->setFocus();
}

void TFormSaveCSVDialog::Choose(TModalResult answer) {
    answer_ = answer;
    if (answer == TModalResult::Cancel) {
        reject();
    } else {
        accept();
    }
}
