#include "gui/app/TMessageDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/app/THelpService.h"

namespace {

QStyle::StandardPixmap IconOf(TMsgKind kind) {
    switch (kind) {
        case TMsgKind::Error:
            return QStyle::SP_MessageBoxCritical;
        case TMsgKind::Warning:
            return QStyle::SP_MessageBoxWarning;
        case TMsgKind::Information:
            return QStyle::SP_MessageBoxInformation;
        case TMsgKind::Confirmation:
            break;
    }
    return QStyle::SP_MessageBoxQuestion;
}

bool HasHelp(TMsgButtons buttons) {
    return buttons == TMsgButtons::OkHelp || buttons == TMsgButtons::YesNoHelp;
}

}  // namespace

TMessageDialog::TMessageDialog(QWidget* parent, const QString& text, TMsgKind kind,
                               TMsgButtons buttons, int helpTopic)
    : QDialog(parent), answer_(EscapeAnswer(buttons)), buttons_(buttons), helpTopic_(helpTopic) {
    setWindowTitle(Title(kind));
    THelpService::SetContext(this, helpTopic);

    auto* icon = new QLabel(this);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(IconOf(kind), nullptr, this).pixmap(extent, extent));
    icon->setAlignment(Qt::AlignTop);

    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addWidget(label, 1);

    buttonRow_ = new QHBoxLayout;
    buttonRow_->addStretch(1);
    QPushButton* first = nullptr;
    switch (buttons) {
        case TMsgButtons::Ok:
        case TMsgButtons::OkHelp:
            first = AddButton(QStringLiteral("OK"), TModalResult::Ok);
            break;
        case TMsgButtons::OkCancel:
            first = AddButton(QStringLiteral("OK"), TModalResult::Ok);
            AddButton(QString::fromUtf8("キャンセル"), TModalResult::Cancel);
            break;
        case TMsgButtons::YesNo:
        case TMsgButtons::YesNoHelp:
        case TMsgButtons::YesNoCancel:
            first = AddButton(QString::fromUtf8("はい(&Y)"), TModalResult::Yes);
            AddButton(QString::fromUtf8("いいえ(&N)"), TModalResult::No);
            if (buttons == TMsgButtons::YesNoCancel) {
                AddButton(QString::fromUtf8("キャンセル"), TModalResult::Cancel);
            }
            break;
    }
    if (HasHelp(buttons)) {
        AddHelpButton();
    }
    buttonRow_->addStretch(1);
    first->setDefault(true);
    first->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addLayout(body);
    layout->addLayout(buttonRow_);
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

TModalResult TMessageDialog::EscapeAnswer(TMsgButtons buttons) {
    switch (buttons) {
        case TMsgButtons::Ok:
        case TMsgButtons::OkHelp:
            return TModalResult::Ok;
        case TMsgButtons::OkCancel:
        case TMsgButtons::YesNoCancel:
            return TModalResult::Cancel;
        case TMsgButtons::YesNo:
        case TMsgButtons::YesNoHelp:
            break;
    }
    return TModalResult::No;
}

QPushButton* TMessageDialog::AddButton(const QString& caption, TModalResult answer) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(true);
    button->setMinimumWidth(75);
    connect(button, &QPushButton::clicked, this, [this, answer] {
        answer_ = answer;
        accept();
    });
    buttonRow_->addWidget(button);
    return button;
}

QPushButton* TMessageDialog::AddHelpButton() {
    auto* button = new QPushButton(QString::fromUtf8("ヘルプ(&H)"), this);
    button->setAutoDefault(true);
    button->setMinimumWidth(75);
    connect(button, &QPushButton::clicked, this,
            [this] { THelpService::Current().ShowTopic(helpTopic_); });
    buttonRow_->addWidget(button);
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
    answer_ = EscapeAnswer(buttons_);
    QDialog::reject();
}
