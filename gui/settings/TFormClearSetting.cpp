#include "gui/settings/TFormClearSetting.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <system_error>

#include "base/THelpTopic.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/UiText.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TFileAssociation.h"

TFormClearSetting::TFormClearSetting(TAppIni& appIni, QWidget* parent)
    : TFormClearSetting(appIni, QCoreApplication::applicationFilePath(), parent) {}

TFormClearSetting::TFormClearSetting(TAppIni& appIni, const QString& programPath, QWidget* parent)
    : TDialogForm(parent),
      appIni_(appIni),
      programPath_(programPath),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnNo_(new QPushButton(U("いいえ(&N)"), this)) {
    setWindowTitle(U("設定の削除"));
    SetHelpContext(THelpTopic::ClearSetting);
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnNo_->setObjectName(QStringLiteral("BtnNo"));
    THint::Apply(btnOK_, U("設定を削除|設定を削除します。"));
    THint::Apply(btnNo_, U("削除しない|設定を削除しません。"));
    btnNo_->setDefault(true);

    auto* text = new QLabel(U("全般設定を削除します。\n"
                              "拡張子「.KFY」に関連付けが設定されている場合は、\n"
                              "関連付けを削除します。"),
                            this);
    text->setObjectName(QStringLiteral("MemoText"));
    text->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMargin(6);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(text, 1);
    layout->addLayout(ButtonRow({btnOK_, btnNo_}));
    AddStatusBar(layout);

    connect(btnOK_, &QPushButton::clicked, this, &TFormClearSetting::BtnOKClick);
    connect(btnNo_, &QPushButton::clicked, this, &QDialog::reject);
    FixSize(QSize(320, 120));
}

void TFormClearSetting::BtnOKClick() {
    TFileAssociation().Remove(programPath_);
    const std::filesystem::path file = appIni_.GetFileName();
    std::error_code ec;
    if (!file.empty() && !std::filesystem::remove(file, ec) && ec) {
        TModalService::Current().Message(
            this,
            U("設定ファイルを削除できませんでした。\n") + QString::fromStdString(file.string()),
            TMsgKind::Error, TMsgButtons::Ok, 0);
        return;
    }
    if (!file.empty()) {
        std::filesystem::remove(file.parent_path(), ec);  // only when it is empty
    }
    accept();
}
