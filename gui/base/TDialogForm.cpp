#include "gui/base/TDialogForm.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "gui/base/THelpService.h"
#include "gui/base/TScreenFit.h"

TDialogForm::TDialogForm(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget* /*old*/, QWidget* now) { FocusChanged(now); });
    // A shortcut, not a key press: a focused control that takes F1 for
    // itself cannot swallow it.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &TDialogForm::ShowHelp);
}

void TDialogForm::ShowHelp() {
    const int topic = THelpService::ContextFor(focusWidget() != nullptr ? focusWidget() : this);
    if (topic != 0) {
        THelpService::Current().ShowTopic(topic);
    }
}

// The children leave the focus while the base class destroys them; by then
// this part of the form is gone.
TDialogForm::~TDialogForm() {
    disconnect(focusConnection_);
}

void TDialogForm::SetHelpContext(int topic) {
    THelpService::SetContext(this, topic);
}

int TDialogForm::GetHelpContext() const {
    return THelpService::OwnContext(this);
}

QString TDialogForm::StatusText() const {
    return statusBar_->currentMessage();
}

void TDialogForm::AddStatusBar(QBoxLayout* layout) {
    layout->addWidget(statusBar_);
}

QHBoxLayout* TDialogForm::ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* box = new QDialogButtonBox;
    for (QPushButton* b : buttons) {
        const QString name = b->objectName();
        QDialogButtonBox::ButtonRole role = QDialogButtonBox::ActionRole;
        if (name == QLatin1String("BtnOK")) {
            role = QDialogButtonBox::AcceptRole;
        } else if (name == QLatin1String("BtnCancel") || name == QLatin1String("BtnClose")) {
            role = QDialogButtonBox::RejectRole;
        } else if (name == QLatin1String("BtnNo")) {
            role = QDialogButtonBox::NoRole;
        } else if (name == QLatin1String("BtnHelp")) {
            role = QDialogButtonBox::HelpRole;
        }
        b->setMinimumWidth(75);
        box->addButton(b, role);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(box);
    return row;
}

void TDialogForm::FixSize(QSize designClientSize) {
    setFixedSize(sizeHint().expandedTo(designClientSize));
}

void TDialogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TScreenFit::Fit(*this);
}

bool TDialogForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        statusBar_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TDialogForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Keyboard users see the status text of the control they moved to; a control
// without one (an edit inside a combo box) shows that of its container.
void TDialogForm::FocusChanged(QWidget* now) {
    if (now == nullptr || now->window() != this) {
        return;
    }
    for (QWidget* w = now; w != nullptr && w != this; w = w->parentWidget()) {
        if (!w->statusTip().isEmpty()) {
            statusBar_->showMessage(w->statusTip());
            return;
        }
    }
    statusBar_->clearMessage();
}
