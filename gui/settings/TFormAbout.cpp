#include "gui/settings/TFormAbout.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/THelpService.h"
#include "gui/base/UiText.h"
#include "gui/settings/TkKestrifyInfo.h"

TFormAbout::TFormAbout(QWidget* parent)
    : TDialogForm(parent),
      labelProductName_(new QLabel(this)),
      labelVersion_(new QLabel(this)),
      labelLink_(new QLabel(this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(U("バージョン情報"));
    const TkAppInfo& info = TkKestrifyInfo::Instance().AppInfo();
    labelProductName_->setObjectName(QStringLiteral("LabelProductName"));
    labelVersion_->setObjectName(QStringLiteral("LabelVersion"));
    labelLink_->setObjectName(QStringLiteral("LabelLink"));
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnOK_->setDefault(true);
    labelProductName_->setText(info.Value(TkAppInfo::ProductName));
    labelVersion_->setText(info.Value(TkAppInfo::FileVersion));
    const QString address = TkKestrifyInfo::WebAddress();
    const QString shown = address.isEmpty() ? U("Kestrify ヘルプ") : address.toHtmlEscaped();
    labelLink_->setText(QStringLiteral("<a href=\"#\">") + shown + QStringLiteral("</a>"));
    labelLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    labelLink_->setToolTip(address);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(TkKestrifyInfo::ProgramIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->addWidget(icon, 0, 0, 3, 1);
    grid->addWidget(new QLabel(U("製品名"), this), 0, 1);
    grid->addWidget(labelProductName_, 0, 2);
    grid->addWidget(new QLabel(U("バージョン"), this), 1, 1);
    grid->addWidget(labelVersion_, 1, 2);
    grid->addWidget(labelLink_, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 8);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(ButtonRow({btnOK_}));

    connect(labelLink_, &QLabel::linkActivated, this, [this] { LinkClick(); });
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
    StatusBar()->hide();
    FixSize(QSize(300, 140));
    if (parent != nullptr) {
        move(parent->window()->frameGeometry().center() - rect().center());
    }
}

void TFormAbout::LinkClick() {
    const QString address = TkKestrifyInfo::WebAddress();
    if (address.isEmpty()) {
        THelpService::Current().ShowTopic(THelpTopic::Contents);
    } else {
        QDesktopServices::openUrl(QUrl(address));
    }
}
