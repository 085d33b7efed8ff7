#include "gui/params/TFormParamEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <initializer_list>

#include "base/THelpTopic.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScreenFit.h"
#include "gui/base/UiText.h"
#include "gui/controls/TRadioGroup.h"
#include "gui/params/TParamPreviewPanel.h"
#include "gui/params/TRegexCheck.h"

namespace {

constexpr int AutoFormatMin = 10;
constexpr int AutoFormatMax = 9999;
constexpr QSize DesignClientSize(364, 323);
// Typing settles for this long before the preview follows it.
constexpr int PreviewDelayMs = 150;

enum PosItem { PosItemBody = 0, PosItemHeader = 1 };
enum RowItem { RowItemOne = 0, RowItemMulti = 1 };
enum StartItem { StartItemKeyLine = 0, StartItemNextLine = 1 };

bool IsBlankOrControl(QChar c) {
    return c.unicode() <= u' ';
}

}  // namespace

const std::vector<TFormParamEdit::TKeyShortcut>& TFormParamEdit::Shortcuts() {
    static const std::vector<TKeyShortcut> shortcuts = {
        {U("From (差出人)"), QStringLiteral("From:")},
        {U("To (宛先)"), QStringLiteral("To:")},
        {U("Subject (件名)"), QStringLiteral("Subject:")},
        {U("Date (日付)"), QStringLiteral("Date:")},
    };
    return shortcuts;
}

TFormParamEdit::TFormParamEdit(QWidget* parent) : TFormAbstructParamEdit(parent) {
    setWindowTitle(U("パラメータ"));
    SetHelpContext(THelpTopic::Parameters);

    pages_ = Named(new QTabWidget(this), "PageControl");
    pages_->addTab(BuildParamPage(), U("パラメータ(&1)"));
    pages_->addTab(BuildAdvancedPage(), U("高度(&2)"));

    btnOK_ = Named(new QPushButton(QStringLiteral("OK"), this), "BtnOK");
    btnOK_->setDefault(true);
    btnCancel_ = Named(new QPushButton(U("キャンセル"), this), "BtnCancel");
    btnHelp_ = Named(new QPushButton(U("ヘルプ(&H)"), this), "BtnHelp");
    btnPreview_ = Named(new QPushButton(U("プレビュー(&V)"), this), "BtnPreview");
    btnPreview_->setCheckable(true);
    btnPreview_->setAutoDefault(false);
    // The platform puts the buttons in its own order.
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(btnOK_, QDialogButtonBox::AcceptRole);
    buttons->addButton(btnCancel_, QDialogButtonBox::RejectRole);
    buttons->addButton(btnHelp_, QDialogButtonBox::HelpRole);
    // The preview switch stands apart, at the start of the row.
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btnPreview_);
    buttonRow->addWidget(buttons, 1);

    previewPanel_ = Named(new TParamPreviewPanel(this), "PreviewPanel");
    previewPanel_->hide();
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(PreviewDelayMs);

    auto* body = new QHBoxLayout;
    body->addWidget(pages_);
    body->addWidget(previewPanel_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(body, 1);
    layout->addLayout(buttonRow);
    AddStatusBar(layout);

    ApplyHints();
    InstallShortcuts();
    Connect();
    pages_->setCurrentIndex(0);
    // The defaults, with every dependency applied.
    PosTypeChanged();
    FixSize(DesignClientSize);
}

QWidget* TFormParamEdit::BuildParamPage() {
    auto* page = new QWidget;
    editKey_ = Named(new QComboBox(page), "EditKey");
    editKey_->setEditable(true);
    editKey_->setInsertPolicy(QComboBox::NoInsert);
    // Completing a typed header name into a drop-down entry would change keys.
    editKey_->setCompleter(nullptr);
    editFieldName_ = Named(new QLineEdit(page), "EditFieldName");
    checkBoxFieldName_ =
        Named(new QCheckBox(U("フィールド名 = パラメータ文字(&W)"), page), "CheckBoxFieldName");
    checkBoxFieldName_->setChecked(true);
    checkBoxRegExt_ =
        Named(new QCheckBox(U("正規表現を使用する。(本文のみ有効)(&R)"), page), "CheckBoxRegExt");

    radioGroupPosType_ = Named(new TRadioGroup(U("場所"), {U("本文(&B)"), U("ヘッダ(&N)")}, page),
                               "RadioGroupPosType");
    radioGroupRowCount_ = Named(new TRadioGroup(U("行数"), {U("一行(&O)"), U("複数行(&I)")}, page),
                                "RadioGroupRowCount");
    radioGroupStartLine_ = Named(
        new TRadioGroup(U("変換開始行"), {U("パラメータ行から(&K)"), U("二行目から(&M)")}, page),
        "RadioGroupStartLine");
    radioGroupPosType_->SetItemIndex(PosItemBody);
    radioGroupRowCount_->SetItemIndex(RowItemOne);
    radioGroupStartLine_->SetItemIndex(StartItemKeyLine);

    auto* keyLabel = new QLabel(U("パラメータ文字(&T)"), page);
    keyLabel->setBuddy(editKey_);
    auto* nameLabel = new QLabel(U("フィールド名(&F)"), page);
    nameLabel->setBuddy(editFieldName_);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(keyLabel, editKey_);
    form->addRow(nameLabel, editFieldName_);
    form->addRow(QString(), checkBoxFieldName_);

    auto* groups = new QHBoxLayout;
    groups->addWidget(radioGroupPosType_);
    groups->addWidget(radioGroupRowCount_);
    groups->addWidget(radioGroupStartLine_, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(checkBoxRegExt_);
    layout->addLayout(groups);
    layout->addStretch(1);
    return page;
}

QWidget* TFormParamEdit::BuildAdvancedPage() {
    auto* page = new QWidget;
    checkBoxTrim_ = Named(new QCheckBox(U("前後の空白を削除する(&P)"), page), "CheckBoxTrim");
    checkBoxOneLine_ =
        Named(new QCheckBox(U("改行コードを削除する。(行数が複数行の時のみ有効)(&L)"), page),
              "CheckBoxOneLine");
    checkBoxAutoFormat_ = Named(new QCheckBox(U("自動整形(&F)"), page), "CheckBoxAutoFormat");
    editAutoFormat_ = Named(new QLineEdit(QStringLiteral("0"), page), "EditAutoFormat");
    editAutoFormat_->setMaxLength(4);
    // Digits only: no input method composition in this box.
    editAutoFormat_->setAttribute(Qt::WA_InputMethodEnabled, false);
    editAutoFormat_->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
    editAutoFormat_->setFixedWidth(
        editAutoFormat_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    checkBoxMailAddress_ =
        Named(new QCheckBox(U("メールアドレスを抽出する(&M)"), page), "CheckBoxMailAddress");
    checkBoxMailName_ =
        Named(new QCheckBox(U("メールアドレスの名前を抽出する(&N)"), page), "CheckBoxMailName");
    auto* endGroup = Named(new QGroupBox(U("終了文字(&E)"), page), "GroupBoxEndString");
    editEndString_ = Named(new QLineEdit(endGroup), "EditEndString");
    checkBoxEndStringRegExp_ =
        Named(new QCheckBox(U("正規表現を使用する。(&Y)"), endGroup), "CheckBoxEndStringRegExp");

    auto* autoFormatRow = new QHBoxLayout;
    autoFormatRow->addWidget(checkBoxAutoFormat_);
    autoFormatRow->addWidget(editAutoFormat_);
    autoFormatRow->addWidget(new QLabel(U("字"), page));
    autoFormatRow->addStretch(1);

    auto* endLayout = new QVBoxLayout(endGroup);
    endLayout->addWidget(editEndString_);
    endLayout->addWidget(checkBoxEndStringRegExp_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(checkBoxTrim_);
    layout->addWidget(checkBoxOneLine_);
    layout->addLayout(autoFormatRow);
    layout->addWidget(checkBoxMailAddress_);
    layout->addWidget(checkBoxMailName_);
    layout->addWidget(endGroup);
    layout->addStretch(1);
    return page;
}

void TFormParamEdit::ApplyHints() {
    THint::Apply(btnOK_, U("|設定を登録する"));
    THint::Apply(btnCancel_, U("|設定を中止する"));
    THint::Apply(btnHelp_, U("|ヘルプを表示する"));
    THint::Apply(btnPreview_, U("プレビュー|このパラメータがメールから取り出す値を表示します。"));
    THint::ApplyToGroup(editKey_, U("パラメータ文字|パラメータ文字"));
    THint::Apply(editFieldName_,
                 U("フィールド名(CSVファイルの一行目)|フィールド名(CSVファイルの一行目)"));
    THint::Apply(checkBoxFieldName_, U("フィールド名をパラメータ文字と同一にする|"
                                       "フィールド名をパラメータ文字と同一にする"));
    THint::Apply(checkBoxRegExt_,
                 U("正規表現を使用する|パラメータ文字を正規表現として扱います。(本文のみ有効)"));
    THint::ApplyToGroup(radioGroupPosType_, U("パラメータの場所|パラメータの場所"));
    THint::ApplyToGroup(radioGroupRowCount_, U("パラメータの行数|パラメータの行数"));
    const QString startLine =
        U("パラメータと同じ行から変換するときは「パラメータ行から」次の行から変換するときは「二行目"
          "から」");
    THint::ApplyToGroup(radioGroupStartLine_, startLine + u'|' + startLine);
    THint::Apply(checkBoxTrim_, U("行の前後の空白を削除|行の前後の空白を削除します。"));
    THint::Apply(checkBoxOneLine_,
                 U("改行コードを削除|改行コードを削除し、変換結果を一行にします。"));
    THint::Apply(checkBoxAutoFormat_, U("自動整形|変換結果を指定桁で改行します。"));
    THint::Apply(editAutoFormat_, U("改行を入れる桁位置|改行を入れる桁位置を指定します。"));
    THint::Apply(checkBoxMailAddress_,
                 U("メールアドレスだけを取り出します|メールアドレスだけを取り出します"));
    THint::Apply(checkBoxMailName_,
                 U("メールアドレスの名前を取り出します|メールアドレスの名前を取り出します"));
    const QString endString = U("終了文字以降または終了文字がある行以降は変換しません。");
    THint::Apply(editEndString_, endString + u'|' + endString);
    THint::Apply(checkBoxEndStringRegExp_, U("終了文字文字を正規表現として使用する|"
                                             "終了文字文字を正規表現として扱います。"));
}

void TFormParamEdit::Connect() {
    connect(radioGroupPosType_, &TRadioGroup::ItemIndexChanged, this,
            &TFormParamEdit::PosTypeChanged);
    connect(radioGroupRowCount_, &TRadioGroup::ItemIndexChanged, this,
            &TFormParamEdit::RowCountChanged);
    connect(checkBoxMailAddress_, &QCheckBox::toggled, this, &TFormParamEdit::MailAddressChanged);
    connect(checkBoxMailName_, &QCheckBox::toggled, this, &TFormParamEdit::MailNameChanged);
    connect(checkBoxFieldName_, &QCheckBox::toggled, this, &TFormParamEdit::FieldNameCheckChanged);
    connect(editKey_, &QComboBox::editTextChanged, this, &TFormParamEdit::KeyChanged);
    connect(editFieldName_, &QLineEdit::textChanged, this, &TFormParamEdit::FieldNameChanged);
    connect(btnOK_, &QPushButton::clicked, this, &TFormParamEdit::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp_, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(THelpTopic::Parameters); });

    connect(btnPreview_, &QPushButton::toggled, this, &TFormParamEdit::SetPreviewOpen);
    connect(previewTimer_, &QTimer::timeout, this, &TFormParamEdit::UpdatePreview);
    connect(editKey_, &QComboBox::editTextChanged, this, &TFormParamEdit::ParamEdited);
    connect(editAutoFormat_, &QLineEdit::textChanged, this, &TFormParamEdit::ParamEdited);
    connect(editEndString_, &QLineEdit::textChanged, this, &TFormParamEdit::ParamEdited);
    for (QCheckBox* box : {checkBoxRegExt_, checkBoxTrim_, checkBoxOneLine_, checkBoxAutoFormat_,
                           checkBoxMailAddress_, checkBoxMailName_, checkBoxEndStringRegExp_}) {
        connect(box, &QCheckBox::toggled, this, &TFormParamEdit::ParamEdited);
    }
    for (TRadioGroup* group : {radioGroupPosType_, radioGroupRowCount_, radioGroupStartLine_}) {
        connect(group, &TRadioGroup::ItemIndexChanged, this, &TFormParamEdit::ParamEdited);
    }
}

void TFormParamEdit::SetPreviewSource(const TPreviewSource& source) {
    previewSource_ = source;
    previewPanel_->SetStore(source.mailType, source.location, source.htmlText, source.imapAccess);
    UpdatePreview();
}

void TFormParamEdit::SetPreviewOpen(bool open) {
    if (btnPreview_->isChecked() != open) {
        btnPreview_->setChecked(open);  // comes back here through its signal
        return;
    }
    if (open) {
        UpdatePreview();
        previewPanel_->show();
        // A resizable window while the mail is on view.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout()->activate();
        setMinimumSize(minimumSizeHint());
        QSize wanted = size().expandedTo(sizeHint()).expandedTo(QSize(860, 560));
        if (const QScreen* shown = screen()) {
            wanted = wanted.boundedTo(shown->availableGeometry().size());
        }
        resize(wanted);
        TScreenFit::Fit(*this);
        return;
    }
    previewTimer_->stop();
    previewPanel_->hide();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();
    FixSize(DesignClientSize);
}

void TFormParamEdit::ParamEdited() {
    if (previewPanel_->isVisible()) {
        previewTimer_->start();
    }
}

// The project's parameters with this one in its place, numbered as the main
// window's Add and Edit will number it; or why it cannot be previewed yet.
void TFormParamEdit::UpdatePreview() {
    previewTimer_->stop();
    const QString key = StoredKey();
    if (editKey_->currentText().isEmpty()) {
        previewPanel_->SetParamProblem(U("パラメータ文字が指定されていません。"));
        return;
    }
    QString problem;
    if (checkBoxRegExt_->isChecked()) {
        problem = TRegexCheck::Problem(TQtText::ToSjis(key),
                                       U("パラメータ文字の正規表現に間違いがあります。"));
    }
    if (problem.isEmpty() && checkBoxEndStringRegExp_->isChecked()) {
        problem = TRegexCheck::Problem(TQtText::ToSjis(editEndString_->text()),
                                       U("終了文字の正規表現に間違いがあります。"));
    }
    if (!problem.isEmpty()) {
        previewPanel_->SetParamProblem(problem);
        return;
    }
    TOrderedParamString param = GetParam();
    param.SetParamKey(TQtText::ToSjis(key));
    TGridParamList list = previewSource_.params;
    int position = previewSource_.position;
    if (position >= 0 && position < list.Count()) {
        param.SetFieldOrder(list.Get(position).GetFieldOrder());
        list.Set(position, param);
    } else {
        param.SetFieldOrder(list.Count());
        list.Add(param);
        position = list.Count() - 1;
    }
    std::vector<TOrderedParamString> params;
    params.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        params.push_back(list.Get(i));
    }
    previewPanel_->SetParams(std::move(params), static_cast<std::size_t>(position));
}

void TFormParamEdit::InstallShortcuts() {
    const QString text = editKey_->currentText();
    const QSignalBlocker blocker(editKey_);
    editKey_->clear();
    for (const TKeyShortcut& s : Shortcuts()) {
        editKey_->addItem(s.display, s.key);
    }
    editKey_->setCurrentIndex(-1);
    editKey_->setEditText(text);
}

// Rule: only body parameters use the line and cleaning options; only header
// parameters can take the display name of an address.
void TFormParamEdit::PosTypeChanged() {
    const bool body = radioGroupPosType_->ItemIndex() == PosItemBody;
    for (QWidget* w : std::initializer_list<QWidget*>{
             radioGroupRowCount_, radioGroupStartLine_, checkBoxOneLine_, checkBoxAutoFormat_,
             editAutoFormat_, editEndString_, checkBoxEndStringRegExp_}) {
        w->setEnabled(body);
    }
    checkBoxMailName_->setEnabled(radioGroupPosType_->ItemIndex() == PosItemHeader);
    if (body) {
        RowCountChanged();
    }
}

void TFormParamEdit::RowCountChanged() {
    checkBoxOneLine_->setEnabled(radioGroupRowCount_->ItemIndex() == RowItemMulti);
    checkBoxAutoFormat_->setEnabled(true);
    editAutoFormat_->setEnabled(true);
}

void TFormParamEdit::MailAddressChanged() {
    checkBoxMailName_->setEnabled(!checkBoxMailAddress_->isChecked());
}

void TFormParamEdit::MailNameChanged() {
    checkBoxMailAddress_->setEnabled(!checkBoxMailName_->isChecked());
}

void TFormParamEdit::FieldNameCheckChanged() {
    if (checkBoxFieldName_->isChecked()) {
        editFieldName_->setText(editKey_->currentText());
    }
}

void TFormParamEdit::KeyChanged() {
    const QString key = editKey_->currentText();
    if (checkBoxFieldName_->isChecked() && editFieldName_->text() != key) {
        editFieldName_->setText(key);
    }
    if (SelectedShortcut() != -1) {
        radioGroupPosType_->SetItemIndex(PosItemHeader);
    }
}

void TFormParamEdit::FieldNameChanged() {
    const QString name = editFieldName_->text();
    if (checkBoxFieldName_->isChecked() && name != editKey_->currentText() &&
        SelectedShortcut() == -1) {
        editKey_->setEditText(name);
    }
}

int TFormParamEdit::SelectedShortcut() const {
    const int index = editKey_->currentIndex();
    if (index < 0 || editKey_->currentText() != editKey_->itemText(index)) {
        return -1;
    }
    return index;
}

void TFormParamEdit::SetKeyText(const QString& text, int shortcut) {
    const QSignalBlocker blocker(editKey_);
    editKey_->setCurrentIndex(shortcut);
    editKey_->setEditText(text);
}

bool TFormParamEdit::IsHeader() const {
    return radioGroupPosType_->ItemIndex() == PosItemHeader;
}

QString TFormParamEdit::StoredKey() const {
    QString key = editKey_->currentText();
    if (const int shortcut = SelectedShortcut(); shortcut >= 0) {
        key = editKey_->itemData(shortcut).toString();
    }
    return IsHeader() ? NormalizeHeaderKey(key) : key;
}

void TFormParamEdit::SetParam(const TOrderedParamString& param) {
    checkBoxFieldName_->setChecked(false);
    const QString key = TQtText::FromSjis(param.GetParamKey());
    {
        // No drop-down entry is selected after the program set the text.
        const QSignalBlocker blocker(editKey_);
        editKey_->setCurrentIndex(-1);
    }
    editKey_->setEditText(key);
    const QString name = TQtText::FromSjis(param.GetFieldName());
    editFieldName_->setText(name.isEmpty() ? key : name);
    if (param.GetRowType() == TOrderedParamString::RowMulti) {
        radioGroupRowCount_->SetItemIndex(RowItemMulti);
    } else if (param.GetRowType() == TOrderedParamString::RowSingle) {
        radioGroupRowCount_->SetItemIndex(RowItemOne);
    }
    if (param.GetPosType() == TOrderedParamString::PosBody) {
        radioGroupPosType_->SetItemIndex(PosItemBody);
    } else if (param.GetPosType() == TOrderedParamString::PosHeader) {
        radioGroupPosType_->SetItemIndex(PosItemHeader);
    }
    checkBoxRegExt_->setChecked(param.GetRegExt());
    checkBoxTrim_->setChecked(param.GetTrim());
    checkBoxOneLine_->setChecked(param.GetOneLine());
    checkBoxAutoFormat_->setChecked(param.GetAutoFormat() > 0);
    editAutoFormat_->setText(QString::number(param.GetAutoFormat()));
    checkBoxFieldName_->setChecked(editFieldName_->text() == editKey_->currentText());
    radioGroupStartLine_->SetItemIndex(param.GetStartLine() ? StartItemKeyLine : StartItemNextLine);
    editEndString_->setText(TQtText::FromSjis(param.GetEndStr()));
    checkBoxEndStringRegExp_->setChecked(param.GetEndStrRegExp());
    checkBoxMailAddress_->setChecked(param.GetMailAddress());
    checkBoxMailName_->setChecked(param.GetMailName());
}

TOrderedParamString TFormParamEdit::GetParam() const {
    int autoFormat = 0;
    if (checkBoxAutoFormat_->isChecked() && !ParseInteger(editAutoFormat_->text(), &autoFormat)) {
        autoFormat = 0;
    }
    const bool header = radioGroupPosType_->ItemIndex() == PosItemHeader;
    const bool multi = radioGroupRowCount_->ItemIndex() == RowItemMulti;
    return TOrderedParamString(
        -1, TQtText::ToSjis(editKey_->currentText()), -1, TQtText::ToSjis(editFieldName_->text()),
        multi ? TOrderedParamString::RowMulti : TOrderedParamString::RowSingle,
        header ? TOrderedParamString::PosHeader : TOrderedParamString::PosBody,
        checkBoxRegExt_->isChecked(), checkBoxOneLine_->isChecked(), checkBoxTrim_->isChecked(),
        autoFormat, radioGroupStartLine_->ItemIndex() != StartItemNextLine,
        TQtText::ToSjis(editEndString_->text()), checkBoxEndStringRegExp_->isChecked(),
        checkBoxMailAddress_->isChecked(),
        checkBoxMailName_->isChecked() && !checkBoxMailAddress_->isChecked());
}

QString TFormParamEdit::NormalizeHeaderKey(const QString& key) {
    qsizetype first = 0;
    qsizetype last = key.size();
    while (first < last && IsBlankOrControl(key[first])) {
        ++first;
    }
    while (last > first && IsBlankOrControl(key[last - 1])) {
        --last;
    }
    QString result = first < last ? key.mid(first, last - first) : key;
    if (result.isEmpty() || result.back() != QChar(KeyTerminator)) {
        result += QChar(KeyTerminator);
    }
    return result;
}

bool TFormParamEdit::ParseInteger(const QString& text, int* value) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    for (qsizetype j = i; j < text.size(); ++j) {
        if (text[j] < u'0' || text[j] > u'9') {
            return false;
        }
    }
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok) {
        *value = parsed;
    }
    return ok;
}

void TFormParamEdit::Refuse(const QString& message, TMsgButtons buttons, int helpTopic) {
    TModalService::Current().Message(this, message, TMsgKind::Warning, buttons, helpTopic);
}

void TFormParamEdit::BtnOKClick() {
    if (editKey_->currentText().isEmpty()) {
        pages_->setCurrentIndex(0);
        Refuse(U("パラメータ文字が指定されていません。"), TMsgButtons::Ok, 0);
        editKey_->setFocus();
        return;
    }
    checkBoxFieldName_->setChecked(false);
    const QString typed = editKey_->currentText();
    const int typedShortcut = SelectedShortcut();
    const QString key = StoredKey();
    SetKeyText(key);
    // Every refusal from here on leaves the key as the user typed it.
    const auto restoreKey = [&] { SetKeyText(typed, typedShortcut); };

    if (checkBoxRegExt_->isChecked()) {
        if (!TRegexCheck::Compile(this, TQtText::ToSjis(key),
                                  U("パラメータ文字の正規表現に間違いがあります。"))) {
            restoreKey();
            pages_->setCurrentIndex(0);
            editKey_->setFocus();
            return;
        }
    }
    if (checkBoxAutoFormat_->isChecked()) {
        int width = 0;
        const bool isInteger = ParseInteger(editAutoFormat_->text(), &width);
        if (!isInteger || width < AutoFormatMin || width > AutoFormatMax) {
            pages_->setCurrentIndex(1);
            editAutoFormat_->setFocus();
            Refuse(isInteger
                       ? QString::number(AutoFormatMin) + U("から") +
                             QString::number(AutoFormatMax) + U("までの整数を入力してください。")
                       : U("整数を入力してください。"),
                   TMsgButtons::Ok, 0);
            restoreKey();
            return;
        }
    }
    if (editEndString_->text().isEmpty()) {
        checkBoxEndStringRegExp_->setChecked(false);
    }
    if (!checkBoxEndStringRegExp_->isChecked()) {
        accept();
        return;
    }
    if (TRegexCheck::Compile(this, TQtText::ToSjis(editEndString_->text()),
                             U("終了文字の正規表現に間違いがあります。"))) {
        accept();
        return;
    }
    restoreKey();
    pages_->setCurrentIndex(1);
    editEndString_->setFocus();
}

void TFormParamEdit::showEvent(QShowEvent* event) {
    TFormAbstructParamEdit::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        editKey_->setFocus();
    }
}
