#include "gui/controls/TWorkProgress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TWorkProgress::TWorkProgress(QWidget* window, const QString& text, std::function<void()> cancel)
    : QDialog(window), cancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("WorkProgress"));
    setWindowTitle(window != nullptr ? window->windowTitle() : QString());
    setWindowModality(Qt::WindowModal);
    label_ = new QLabel(text, this);
    label_->setObjectName(QStringLiteral("LabelText"));
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // how long it takes is the server's business
    bar->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(this);
    btnCancel_ = buttons->addButton(QString::fromUtf8("キャンセル"), QDialogButtonBox::RejectRole);
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &TWorkProgress::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar);
    layout->addWidget(buttons);
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &QDialog::show);
}

void TWorkProgress::ShowAfter(int ms) {
    delay_.start(ms);
}

void TWorkProgress::reject() {
    // Stays up until the work has stopped: the window is not free before.
    if (!cancel_) {
        return;
    }
    label_->setText(QString::fromUtf8("中止しています…"));
    btnCancel_->setEnabled(false);
    const std::function<void()> cancel = std::move(cancel_);
    cancel_ = nullptr;
    cancel();
}
