#include "gui/params/TFormEditParamOrder.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/THelpTopic.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/UiText.h"
#include "gui/params/TGridConvertParam.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumWidth(75);
    THint::Apply(button, hint);
    return button;
}

}  // namespace

TFormEditParamOrder::TFormEditParamOrder(QWidget* parent)
    : TDialogForm(parent),
      leftGrid_(new TGridConvertParam(this)),
      rightGrid_(new TGridConvertParam(this)) {
    setWindowTitle(U("パラメータの出力順設定"));
    SetHelpContext(THelpTopic::ParamOrder);
    leftGrid_->setObjectName(QStringLiteral("LeftGrid"));
    rightGrid_->setObjectName(QStringLiteral("RightGrid"));
    leftGrid_->SetAutoSetParamOrder(false);
    rightGrid_->SetAutoSetParamOrder(false);
    rightGrid_->SetAutoSetFieldNumber(true);
    // Wide enough that a key such as "お問い合わせ内容：" shows whole in the
    // key column at any font size: the two wide columns share what the four
    // narrow ones leave.
    const int keyWidth = fontMetrics().horizontalAdvance(U("お問い合わせ内容：")) + 8;
    const int narrow =
        TGridConvertParam::ColumnWidths(1000, {})[TGridConvertParam::COL_PARAM_ORDER];
    for (TGridConvertParam* grid : {leftGrid_, rightGrid_}) {
        grid->setMinimumSize(std::max(261, 2 * keyWidth + 4 * narrow + 8), 181);
    }

    btnAdd_ = MakeMoveButton("BtnAdd", QStringLiteral(">"), U("追加|パラメータを追加する"));
    btnAllAdd_ = MakeMoveButton("BtnAllAdd", QStringLiteral(">>"),
                                U("すべて追加|すべてのパラメータを追加する"));
    btnDel_ = MakeMoveButton("BtnDel", QStringLiteral("<"), U("戻す|パラメータを戻す"));
    btnAllDel_ =
        MakeMoveButton("BtnAllDel", QStringLiteral("<<"), U("すべて戻す|すべてのパラメータを戻す"));
    btnOK_ = MakeButton(this, "BtnOK", QStringLiteral("OK"), U("登録|現在の順番を登録する"));
    btnOK_->setDefault(true);
    btnOK_->setEnabled(false);
    btnRetry_ = MakeButton(this, "BtnRetry", U("やり直し(&R)"), U("やり直し|設定をやり直す"));
    btnCancel_ =
        MakeButton(this, "BtnCancel", U("キャンセル"), U("キャンセル|設定を登録しないで終了する"));
    btnHelp_ = MakeButton(this, "BtnHelp", U("ヘルプ(&H)"), U("ヘルプ|ヘルプを表示する"));
    THelpService::SetContext(btnHelp_, THelpTopic::ParamOrder);

    auto* moveButtons = new QVBoxLayout;
    moveButtons->addSpacing(24);
    moveButtons->addWidget(btnAdd_);
    moveButtons->addWidget(btnAllAdd_);
    moveButtons->addSpacing(28);
    moveButtons->addWidget(btnDel_);
    moveButtons->addWidget(btnAllDel_);
    moveButtons->addStretch(1);

    auto* grids = new QHBoxLayout;
    grids->addWidget(leftGrid_, 1);
    grids->addLayout(moveButtons);
    grids->addWidget(rightGrid_, 1);

    QHBoxLayout* buttons = ButtonRow({btnOK_, btnRetry_, btnCancel_, btnHelp_});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(grids, 1);
    layout->addLayout(buttons);
    AddStatusBar(layout);
    setTabOrder(leftGrid_, rightGrid_);

    connect(btnAdd_, &QToolButton::clicked, this, &TFormEditParamOrder::ActionAddExecute);
    connect(btnAllAdd_, &QToolButton::clicked, this, &TFormEditParamOrder::ActionAllAddExecute);
    connect(btnDel_, &QToolButton::clicked, this, &TFormEditParamOrder::ActionDeleteExecute);
    connect(btnAllDel_, &QToolButton::clicked, this, &TFormEditParamOrder::ActionAddDeleteExecute);
    connect(btnRetry_, &QPushButton::clicked, this, &TFormEditParamOrder::ActionResetExecute);
    connect(btnOK_, &QPushButton::clicked, this, &TFormEditParamOrder::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp_, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(THelpTopic::ParamOrder); });
    connect(leftGrid_, &QAbstractItemView::doubleClicked, this,
            &TFormEditParamOrder::ActionAddExecute);
    connect(rightGrid_, &QAbstractItemView::doubleClicked, this,
            &TFormEditParamOrder::ActionDeleteExecute);
    FixSize(QSize(584, 253));
}

QToolButton* TFormEditParamOrder::MakeMoveButton(const char* name, const QString& caption,
                                                 const QString& hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setFixedSize(24, 22);
    THint::Apply(button, hint);
    return button;
}

void TFormEditParamOrder::SetParams(std::vector<TOrderedParamString> params) {
    received_ = std::move(params);
    ActionResetExecute();
}

std::vector<TOrderedParamString> TFormEditParamOrder::GetParams() const {
    std::vector<TOrderedParamString> params = rightGrid_->GetAllParam();
    std::stable_sort(params.begin(), params.end(),
                     [](const TOrderedParamString& a, const TOrderedParamString& b) {
                         return a.GetParamOrder() < b.GetParamOrder();
                     });
    return params;
}

void TFormEditParamOrder::ActionAddExecute() {
    if (!leftGrid_->IsSelected()) {
        return;
    }
    rightGrid_->AddParam(leftGrid_->GetParam());
    leftGrid_->RemoveParam(leftGrid_->GetCurrentRow());
    leftGrid_->viewport()->update();
    rightGrid_->viewport()->update();
    if (leftGrid_->GetParamCount() == 0) {
        btnOK_->setEnabled(true);
    }
}

void TFormEditParamOrder::ActionAllAddExecute() {
    for (;;) {
        leftGrid_->SetCurrentRow(1);
        if (!leftGrid_->IsSelected()) {
            return;
        }
        ActionAddExecute();
    }
}

void TFormEditParamOrder::ActionDeleteExecute() {
    if (!rightGrid_->IsSelected()) {
        return;
    }
    const int id = rightGrid_->GetParam().GetId();
    const auto received =
        std::find_if(received_.begin(), received_.end(),
                     [id](const TOrderedParamString& p) { return p.GetId() == id; });
    if (received != received_.end()) {
        leftGrid_->AddParam(*received);
    }
    rightGrid_->RemoveParam(rightGrid_->GetCurrentRow());
    leftGrid_->viewport()->update();
    rightGrid_->viewport()->update();
    if (btnOK_->isEnabled()) {
        btnOK_->setEnabled(false);
    }
}

void TFormEditParamOrder::ActionAddDeleteExecute() {
    for (;;) {
        rightGrid_->SetCurrentRow(1);
        if (!rightGrid_->IsSelected()) {
            return;
        }
        ActionDeleteExecute();
    }
}

void TFormEditParamOrder::ActionResetExecute() {
    leftGrid_->ClearParam();
    rightGrid_->ClearParam();
    leftGrid_->AddParam(received_);
    leftGrid_->SetCurrentRow(1);
}

void TFormEditParamOrder::BtnOKClick() {
    if (leftGrid_->GetParamCount() == 0) {
        accept();
    }
}

void TFormEditParamOrder::showEvent(QShowEvent* event) {
    TDialogForm::showEvent(event);
    leftGrid_->MatchColWidth();
    rightGrid_->MatchColWidth();
}
