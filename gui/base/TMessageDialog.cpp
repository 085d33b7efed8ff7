#include "gui/base/TMessageDialog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/base/THelpService.h"

namespace {

// The icon theme's picture of the kind, else the style's.
QIcon IconOf(TMsgKind kind, const QStyle* style) {
    switch (kind) {
        case TMsgKind::Error:
            return QIcon::fromTheme(QStringLiteral("dialog-error"),
                                    style->standardIcon(QStyle::SP_MessageBoxCritical));
        case TMsgKind::Warning:
            return QIcon::fromTheme(QStringLiteral("dialog-warning"),
                                    style->standardIcon(QStyle::SP_MessageBoxWarning));
        case TMsgKind::Information:
            return QIcon::fromTheme(QStringLiteral("dialog-information"),
                                    style->standardIcon(QStyle::SP_MessageBoxInformation));
        case TMsgKind::Confirmation:
            break;
    }
    return QIcon::fromTheme(QStringLiteral("dialog-question"),
                            style->standardIcon(QStyle::SP_MessageBoxQuestion));
}

bool HasHelp(TMsgButtons buttons) {
    return buttons == TMsgButtons::OkHelp || buttons == TMsgButtons::YesNoHelp;
}

}  // namespace

TMessageDialog::TMessageDialog(QWidget* parent, const QString& text, TMsgKind kind,
                               TMsgButtons buttons, int helpTopic)
    : QDialog(parent),
      answer_(TModalService::EscapeAnswer(buttons)),
      buttons_(buttons),
      helpTopic_(helpTopic) {
    setWindowTitle(Title(kind));
    THelpService::SetContext(this, helpTopic);

    auto* icon = new QLabel(this);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(IconOf(kind, style()).pixmap(extent, extent));
    icon->setAlignment(Qt::AlignTop);

    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addWidget(label, 1);

    // The platform's order and alignment of dialog buttons.
    buttonBox_ = new QDialogButtonBox(this);
    QPushButton* first = nullptr;
    switch (buttons) {
        case TMsgButtons::Ok:
        case TMsgButtons::OkHelp:
            first = AddButton(QStringLiteral("OK"), TModalResult::Ok, QDialogButtonBox::AcceptRole);
            break;
        case TMsgButtons::OkCancel:
            first = AddButton(QStringLiteral("OK"), TModalResult::Ok, QDialogButtonBox::AcceptRole);
            AddButton(QString::fromUtf8("キャンセル"), TModalResult::Cancel,
                      QDialogButtonBox::RejectRole);
            break;
        case TMsgButtons::YesNo:
        case TMsgButtons::YesNoHelp:
        case TMsgButtons::YesNoCancel:
            first = AddButton(QString::fromUtf8("はい(&Y)"), TModalResult::Yes,
                              QDialogButtonBox::YesRole);
            AddButton(QString::fromUtf8("いいえ(&N)"), TModalResult::No, QDialogButtonBox::NoRole);
            if (buttons == TMsgButtons::YesNoCancel) {
                AddButton(QString::fromUtf8("キャンセル"), TModalResult::Cancel,
                          QDialogButtonBox::RejectRole);
            }
            break;
        case TMsgButtons::SaveDiscardCancel:
            first = AddButton(QString::fromUtf8("保存(&S)"), TModalResult::Yes,
                              QDialogButtonBox::AcceptRole);
            AddButton(QString::fromUtf8("保存しない(&N)"), TModalResult::No,
                      QDialogButtonBox::DestructiveRole);
            AddButton(QString::fromUtf8("キャンセル"), TModalResult::Cancel,
                      QDialogButtonBox::RejectRole);
            break;
    }
    if (HasHelp(buttons)) {
        AddHelpButton();
    }
    first->setDefault(true);
    first->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addLayout(body);
    layout->addWidget(buttonBox_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TMessageDialog::Title(TMsgKind kind) {
    switch (kind) {
        case TMsgKind::Error:
            return QString::fromUtf8("エラー");
        case TMsgKind::Warning:
            return QString::fromUtf8("警告");
        case TMsgKind::Information:
            return QString::fromUtf8("情報");
        case TMsgKind::Confirmation:
            break;
    }
    return QString::fromUtf8("確認");
}

QPushButton* TMessageDialog::AddButton(const QString& caption, TModalResult answer,
                                       QDialogButtonBox::ButtonRole role) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(true);
    button->setMinimumWidth(75);
    connect(button, &QPushButton::clicked, this, [this, answer] {
        answer_ = answer;
        accept();
    });
    buttonBox_->addButton(button, role);
    return button;
}

QPushButton* TMessageDialog::AddHelpButton() {
    auto* button = new QPushButton(QString::fromUtf8("ヘルプ(&H)"), this);
    button->setAutoDefault(true);
    button->setMinimumWidth(75);
    connect(button, &QPushButton::clicked, this,
            [this] { THelpService::Current().ShowTopic(helpTopic_); });
    buttonBox_->addButton(button, QDialogButtonBox::HelpRole);
    return button;
}

void TMessageDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        THelpService::Current().ShowTopic(helpTopic_);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMessageDialog::reject() {
    answer_ = TModalService::EscapeAnswer(buttons_);
    QDialog::reject();
}
