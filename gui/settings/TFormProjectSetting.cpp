#include "gui/settings/TFormProjectSetting.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "settings/TParamFormConvert.h"
#include "state/TOnlyNewRun.h"
#include "state/TRecordDamaged.h"

TFormProjectSetting::TFormProjectSetting(TParamFormConvert& geometry, TCSVSaveParam& save,
                                         std::string sjisOutput, bool& htmlText, QWidget* parent)
    : TDialogForm(parent),
      geometry_(geometry),
      save_(save),
      output_(std::move(sjisOutput)),
      htmlText_(htmlText),
      checkBoxHtmlText_(new QCheckBox(U("HTML だけのメールは本文をテキストにして読む(&H)"))),
      checkBoxFormSize_(new QCheckBox(U("変換結果画面のサイズを保存する(&S)"))),
      checkBoxGridColSize_(new QCheckBox(U("変換結果画面の列幅を保存する(&R)"))),
      checkBoxOnlyNew_(new QCheckBox(U("新しいメールだけを変換する(&N)"))),
      btnForget_(new QPushButton(U("変換済みの記録を消す(&F)"))),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(U("キャンセル"), this)) {
    setWindowTitle(U("プロジェクトの設定"));
    SetHelpContext(THelpTopic::ProjectSetting);
    checkBoxHtmlText_->setObjectName(QStringLiteral("CheckBoxHtmlText"));
    checkBoxFormSize_->setObjectName(QStringLiteral("CheckBoxFormSize"));
    checkBoxGridColSize_->setObjectName(QStringLiteral("CheckBoxGridColSize"));
    checkBoxOnlyNew_->setObjectName(QStringLiteral("CheckBoxOnlyNew"));
    btnForget_->setObjectName(QStringLiteral("BtnForget"));
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOK_->setDefault(true);
    THint::Apply(checkBoxFormSize_,
                 U("変換結果画面のサイズを保存する|変換結果画面のサイズを保存する"));
    THint::Apply(checkBoxGridColSize_,
                 U("変換結果画面の列幅を保存する|変換結果画面の列幅を保存する"));
    THint::Apply(checkBoxHtmlText_,
                 U("text/plain のパートがない（または空の）メールは、HTML のパートを"
                   "テキストにしたものを本文にします。\n表の 1 行はタブ区切りの 1 行になります。"
                   "|HTML だけのメールの本文をテキストにします"));
    checkBoxHtmlText_->setChecked(htmlText_);
    checkBoxFormSize_->setChecked(geometry_.GetKeepWindowSize());
    checkBoxGridColSize_->setChecked(geometry_.GetKeepColumnWidths());
    THint::Apply(
        checkBoxOnlyNew_,
        U("新しいメールだけを変換する|前回までにこの CSV ファイルへ変換したメールを飛ばし、"
          "新しいメールの行だけを追加します"));
    THint::Apply(btnForget_,
                 U("変換済みの記録を消す|この CSV ファイルへ変換したメールの記録を消します。"
                   "次の変換ではすべてのメールを変換します"));
    checkBoxOnlyNew_->setChecked(save_.GetOnlyNew());
    // Without a CSV file there is no record to clear.
    btnForget_->setEnabled(!output_.empty());

    auto* mailGroup = new QGroupBox(U("メール"), this);
    auto* mailLayout = new QVBoxLayout(mailGroup);
    mailLayout->addWidget(checkBoxHtmlText_);

    auto* group = new QGroupBox(U("変換結果画面"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(checkBoxFormSize_);
    groupLayout->addWidget(checkBoxGridColSize_);

    auto* csvGroup = new QGroupBox(U("CSV ファイル"), this);
    auto* csvLayout = new QVBoxLayout(csvGroup);
    csvLayout->addWidget(checkBoxOnlyNew_);
    auto* forgetRow = new QHBoxLayout;
    forgetRow->addStretch(1);
    forgetRow->addWidget(btnForget_);
    csvLayout->addLayout(forgetRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(mailGroup);
    layout->addWidget(group);
    layout->addWidget(csvGroup);
    layout->addStretch(1);
    layout->addLayout(ButtonRow({btnOK_, btnCancel_}));
    AddStatusBar(layout);

    connect(btnOK_, &QPushButton::clicked, this, &TFormProjectSetting::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnForget_, &QPushButton::clicked, this, &TFormProjectSetting::BtnForgetClick);
    FixSize(QSize(340, 270));
}

void TFormProjectSetting::BtnOKClick() {
    htmlText_ = checkBoxHtmlText_->isChecked();
    geometry_.SetKeepWindowSize(checkBoxFormSize_->isChecked());
    geometry_.SetKeepColumnWidths(checkBoxGridColSize_->isChecked());
    save_.SetOnlyNew(checkBoxOnlyNew_->isChecked());
    accept();
}

void TFormProjectSetting::BtnForgetClick() {
    const QString name = TQtText::FromSjis(output_);
    try {
        const bool had = TOnlyNewRun::Forget(output_);
        TModalService::Current().Message(this,
                                         name + U(had ? "\n変換済みメールの記録を消しました。"
                                                      : "\n変換済みメールの記録はありません。"),
                                         TMsgKind::Information, TMsgButtons::Ok, 0);
    } catch (const TRecordDamaged& e) {
        // Moved aside: every record is gone, this one too.
        TModalService::Current().Message(this, TQtText::FromSjis(e.what()), TMsgKind::Warning,
                                         TMsgButtons::Ok, 0);
    } catch (const std::exception& e) {
        TModalService::Current().Message(this, name + U("\n") + TQtText::FromSjis(e.what()),
                                         TMsgKind::Error, TMsgButtons::Ok, 0);
    }
}
