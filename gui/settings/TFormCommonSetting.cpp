#include "gui/settings/TFormCommonSetting.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "codeconv/CNkf.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TFileAssociation.h"

namespace {

bool NkfUsable() {
    CNkf nkf;
    return nkf.Load() == 0;
}

}  // namespace

TFormCommonSetting::TFormCommonSetting(TAppIni& appIni, QWidget* parent)
    : TFormCommonSetting(appIni, QCoreApplication::applicationFilePath(), parent) {}

TFormCommonSetting::TFormCommonSetting(TAppIni& appIni, const QString& programPath, QWidget* parent)
    : TDialogForm(parent),
      appIni_(appIni),
      programPath_(programPath),
      pageControl_(new QTabWidget(this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(U("キャンセル"), this)) {
    setWindowTitle(U("全般設定"));
    SetHelpContext(THelpTopic::CommonSetting);
    const QString windowHint = U("|[F1]キーでヘルプが表示されます。");
    THint::Apply(this, windowHint);
    THint::Apply(pageControl_, windowHint);
    pageControl_->setObjectName(QStringLiteral("PageControl"));
    pageControl_->addTab(MakeStartPage(), U("起動時(&1)"));
    pageControl_->addTab(MakeLinkPage(), U("関連付け(&2)"));
    pageControl_->addTab(MakeConverterPage(), U("変換機能(&3)"));
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOK_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(pageControl_, 1);
    layout->addLayout(ButtonRow({btnOK_, btnCancel_}));
    AddStatusBar(layout);
    StatusBar()->showMessage(THint::StatusTip(windowHint));

    connect(btnOK_, &QPushButton::clicked, this, &TFormCommonSetting::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    FixSize(QSize(380, 230));
}

QWidget* TFormCommonSetting::MakeStartPage() {
    auto* page = new QWidget;
    checkBoxRestoreParamFile_ =
        new QCheckBox(U("起動時に前回終了時に開いていたパラメータを開く(&O)"), page);
    checkBoxRestoreParamFile_->setObjectName(QStringLiteral("CheckBoxRestoreParamFile"));
    THint::Apply(checkBoxRestoreParamFile_,
                 U("Kestrifyを起動した時に前回終了時に開いていたパラメータを開く|"
                   "Kestrifyを起動した時に前回終了時に開いていたパラメータを開く"));
    checkBoxRestoreWindowSize_ =
        new QCheckBox(U("起動時に前回終了時のウィンドウのサイズを復元する(&W)"), page);
    checkBoxRestoreWindowSize_->setObjectName(QStringLiteral("CheckBoxRestoreWindowSize"));
    THint::Apply(checkBoxRestoreWindowSize_,
                 U("Kestrifyを起動した時に前回終了時のウィンドウのサイズを復元する|"
                   "Kestrifyを起動した時に前回終了時のウィンドウのサイズを復元する"));
    checkBoxRestoreParamFile_->setChecked(appIni_.GetRestoreParamFile());
    checkBoxRestoreWindowSize_->setChecked(appIni_.GetRestoreWindowSize());

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(checkBoxRestoreParamFile_);
    layout->addWidget(checkBoxRestoreWindowSize_);
    layout->addStretch(1);
    return page;
}

QWidget* TFormCommonSetting::MakeLinkPage() {
    auto* page = new QWidget;
    labelLinkedText_ = new QLabel(page);
    labelLinkedText_->setObjectName(QStringLiteral("LabelLinkedText"));
    btnLink_ = new QPushButton(U("拡張子「.KFY」をKestrifyに関連付けする"), page);
    btnLink_->setObjectName(QStringLiteral("BtnLink"));
    btnUnlink_ = new QPushButton(U("拡張子「.KFY」の関連づけを解除する"), page);
    btnUnlink_->setObjectName(QStringLiteral("BtnUnlink"));
    RefreshLinkedText();

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(labelLinkedText_);
    layout->addStretch(1);
    layout->addWidget(btnLink_);
    layout->addWidget(btnUnlink_);
    connect(btnLink_, &QPushButton::clicked, this, &TFormCommonSetting::BtnLinkClick);
    connect(btnUnlink_, &QPushButton::clicked, this, &TFormCommonSetting::BtnUnlinkClick);
    return page;
}

QWidget* TFormCommonSetting::MakeConverterPage() {
    auto* page = new QWidget;
    auto* label = new QLabel(U("文字コードの変換"), page);
    staticTextNkf_ = new QLabel(page);
    staticTextNkf_->setObjectName(QStringLiteral("StaticTextNkf"));
    staticTextNkf_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // What the conversion really uses: the library only when one lies
    // beside the program, otherwise (normally) the built-in converters.
    staticTextNkf_->setText(
        NkfUsable() ? U("プログラムと同じフォルダの漢字フィルタ NKF32.DLL を使います。")
                    : U("Kestrify に組み込まれた変換（Shift_JIS の変換表と iconv）を使います。"));
    // Two lines high whichever text it shows.
    staticTextNkf_->setMinimumHeight(2 * QFontMetrics(staticTextNkf_->font()).height() + 4);
    staticTextNkf_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(staticTextNkf_);
    layout->addStretch(1);
    return page;
}

void TFormCommonSetting::RefreshLinkedText() {
    labelLinkedText_->setText(TFileAssociation().StatusText());
}

void TFormCommonSetting::BtnOKClick() {
    appIni_.SetRestoreParamFile(checkBoxRestoreParamFile_->isChecked());
    appIni_.SetRestoreWindowSize(checkBoxRestoreWindowSize_->isChecked());
    try {
        appIni_.Write();
    } catch (const std::exception& e) {
        TModalService::Current().Message(this, TQtText::FromSjis(e.what()), TMsgKind::Error,
                                         TMsgButtons::Ok, 0);
        return;
    }
    accept();
}

void TFormCommonSetting::BtnLinkClick() {
    if (TFileAssociation().Associate(programPath_)) {
        TModalService::Current().Message(this, U("関連付けに成功しました。"), TMsgKind::Information,
                                         TMsgButtons::Ok, 0);
    } else {
        TModalService::Current().Message(this, U("関連付けに失敗しました。"), TMsgKind::Error,
                                         TMsgButtons::Ok, 0);
    }
    RefreshLinkedText();
}

void TFormCommonSetting::BtnUnlinkClick() {
    if (TFileAssociation().Remove(programPath_)) {
        RefreshLinkedText();
    }
}
