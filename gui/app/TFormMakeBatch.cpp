#include "gui/app/TFormMakeBatch.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "base/TKestrifyError.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "gui/controls/TRadioGroup.h"
#include "settings/TAutoRunScript.h"

namespace {

std::string FileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QPushButton* NamedButton(const char* name, const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    THint::Apply(button, hint);
    return button;
}

// A path box with its caption above and its browse button beside it.
QLineEdit* AddPathRow(QVBoxLayout* layout, const QString& caption, const char* editName,
                      const QString& hint, QPushButton* browse) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(editName));
    THint::Apply(edit, hint);
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(browse);
    layout->addWidget(label);
    layout->addLayout(row);
    return edit;
}

// Cancel and Help, as on both pages, plus the page's own buttons.
QDialogButtonBox* PageButtons(QDialog* form, std::initializer_list<QPushButton*> own) {
    auto* box = new QDialogButtonBox;
    for (QPushButton* b : own) {
        box->addButton(b, QDialogButtonBox::ActionRole);
    }
    QPushButton* cancel =
        NamedButton("BtnCancel", U("キャンセル"), U("|自動実行ファイルを作成せずに閉じる"));
    QPushButton* help = NamedButton("BtnHelp", U("ヘルプ(&H)"), U("|ヘルプを表示する"));
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    box->addButton(help, QDialogButtonBox::HelpRole);
    QObject::connect(cancel, &QPushButton::clicked, form, &QDialog::reject);
    QObject::connect(help, &QPushButton::clicked, form,
                     [] { THelpService::Current().ShowTopic(THelpTopic::AutoRun); });
    return box;
}

}  // namespace

TFormMakeBatch::TFormMakeBatch(QWidget* parent)
    : TDialogForm(parent),
      programPath_(QCoreApplication::applicationFilePath()),
      pages_(new QTabWidget(this)) {
    setWindowTitle(U("自動実行バッチファイル作成"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SetHelpContext(THelpTopic::MakeBatch);
    pages_->setObjectName(QStringLiteral("PageControl"));
    pages_->setDocumentMode(true);  // flat page buttons, no frame around the page
    pages_->addTab(BuildProjectPage(), U("プロジェクト(&1)"));
    pages_->addTab(BuildCsvPage(), U("CSVファイル(&2)"));

    projectRequest_.filter = U("プロジェクトファイル(*.KFY;*.INI)|*.KFY;*.INI");
    csvRequest_.filter =
        U("CSVファイル(*.csv)|*.csv|Excel ブック (*.xlsx)|*.xlsx|すべてのファイル|*.*");
    csvRequest_.defaultExt = QStringLiteral("csv");
    scriptRequest_.caption = U("保存するバッチファイルのファイル名");
    scriptRequest_.filter = U("シェルスクリプト(*.sh)|*.sh");
    scriptRequest_.defaultExt = QStringLiteral("sh");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_, 1);
    AddStatusBar(layout);
    FixSize(QSize(400, 275));
    editParamFile_->setFocus();
}

QWidget* TFormMakeBatch::BuildProjectPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    QPushButton* browse =
        NamedButton("BtnParamFileOpen", U("参照(&D)"), U("参照|プロジェクトファイルを選択する"));
    editParamFile_ =
        AddPathRow(layout, U("プロジェクトファイルの場所(&F)"), "EditParamFile",
                   U("プロジェクトファイル|自動実行するプロジェクトファイルの場所"), browse);
    layout->addStretch(1);
    QPushButton* next = NamedButton("BitBtnNext", U("次へ(&N)"), U("次へ|CSVファイルの設定に進む"));
    next->setDefault(true);
    layout->addWidget(PageButtons(this, {next}));

    connect(browse, &QPushButton::clicked, this, &TFormMakeBatch::BtnParamFileOpenClick);
    connect(next, &QPushButton::clicked, this, &TFormMakeBatch::BitBtnNextClick);
    return page;
}

QWidget* TFormMakeBatch::BuildCsvPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    QPushButton* browse =
        NamedButton("BtnCSVFileOpen", U("参照(&D)"), U("参照|保存するCSVファイルを選択する"));
    editCSVFile_ = AddPathRow(layout, U("保存するCSVファイルのファイル名(&F)"), "EditCSVFile",
                              U("CSVファイル|変換結果を保存するCSVファイルのファイル名"), browse);
    radioGroupSaveParam_ = new TRadioGroup(U("保存条件(同名のファイルがすでにあるとき)"),
                                           {U("上書き保存(&S)"), U("追加保存(&A)")}, page, 2);
    radioGroupSaveParam_->setObjectName(QStringLiteral("RadioGroupSaveParam"));
    radioGroupSaveParam_->SetItemIndex(0);
    THint::ApplyToGroup(radioGroupSaveParam_,
                        U("保存条件|同名のCSVファイルがすでにあるときの保存方法"));
    checkBoxBackup_ = new QCheckBox(U("バックアップファイルを作成する(&K)"), page);
    checkBoxBackup_->setObjectName(QStringLiteral("CheckBoxBackup"));
    THint::Apply(checkBoxBackup_, U("バックアップ|保存する前に元のCSVファイルを.bakにコピーする"));
    checkBoxHeadless_ = new QCheckBox(U("画面を表示せずに実行する"), page);
    checkBoxHeadless_->setObjectName(QStringLiteral("CheckBoxHeadless"));
    THint::Apply(checkBoxHeadless_,
                 U("画面を表示せずに実行する|ディスプレイのない環境でもkestrify-cliで変換する"));
    checkBoxOnlyNew_ = new QCheckBox(U("新しいメールだけを変換する(&O)"), page);
    checkBoxOnlyNew_->setObjectName(QStringLiteral("CheckBoxOnlyNew"));
    THint::Apply(checkBoxOnlyNew_,
                 U("新しいメールだけを変換する|前回までにこのCSVファイルへ変換したメールを飛ばし、"
                   "新しいメールの行だけを追加する (オフのときはプロジェクトの設定に従う)"));
    layout->addWidget(radioGroupSaveParam_);
    layout->addWidget(checkBoxBackup_);
    layout->addWidget(checkBoxOnlyNew_);
    layout->addWidget(checkBoxHeadless_);
    layout->addStretch(1);

    QPushButton* back = NamedButton("BtnBack", U("戻る(&B)"), U("戻る|プロジェクトの選択に戻る"));
    QPushButton* make = NamedButton("BtnMake", U("作成(&N)"), U("作成|自動実行ファイルを作成する"));
    make->setDefault(true);
    layout->addWidget(PageButtons(this, {back, make}));

    connect(browse, &QPushButton::clicked, this, &TFormMakeBatch::BtnCSVFileOpenClick);
    connect(back, &QPushButton::clicked, this, [this] { ShowPage(0, editParamFile_); });
    connect(make, &QPushButton::clicked, this, &TFormMakeBatch::BtnMakeClick);
    return page;
}

void TFormMakeBatch::ShowPage(int index, QLineEdit* focus) {
    pages_->setCurrentIndex(index);
    focus->setFocus();
}

bool TFormMakeBatch::ProjectExists() const {
    return QFileInfo(editParamFile_->text()).isFile();
}

void TFormMakeBatch::BtnParamFileOpenClick() {
    if (const auto path = TModalService::Current().OpenFile(this, projectRequest_)) {
        editParamFile_->setText(*path);
        projectRequest_.initialDir = QFileInfo(*path).absolutePath();
    }
}

void TFormMakeBatch::BtnCSVFileOpenClick() {
    if (const auto path = TModalService::Current().SaveFile(this, csvRequest_)) {
        editCSVFile_->setText(*path);
        csvRequest_.initialDir = QFileInfo(*path).absolutePath();
    }
}

void TFormMakeBatch::BitBtnNextClick() {
    if (ProjectExists()) {
        ShowPage(1, editCSVFile_);
        return;
    }
    TModalService::Current().Message(this, U("プロジェクトファイルの場所が選択されていません。"),
                                     TMsgKind::Information, TMsgButtons::Ok, 0);
    ShowPage(0, editParamFile_);
}

void TFormMakeBatch::BtnMakeClick() {
    TModalService& modal = TModalService::Current();
    if (!ProjectExists()) {
        modal.Message(this, U("プロジェクトファイルが見つかりません。"), TMsgKind::Error,
                      TMsgButtons::Ok, 0);
        ShowPage(0, editParamFile_);
        return;
    }
    if (editCSVFile_->text().isEmpty()) {
        modal.Message(this, U("保存するCSVファイルのファイル名が未入力です。"), TMsgKind::Error,
                      TMsgButtons::Ok, 0);
        ShowPage(1, editCSVFile_);
        return;
    }
    const auto scriptPath = modal.SaveFile(this, scriptRequest_);
    if (!scriptPath) {
        return;
    }
    scriptRequest_.initialDir = QFileInfo(*scriptPath).absolutePath();
    if (QFileInfo::exists(*scriptPath) &&
        modal.Message(this, U("すでに同名のファイルが存在します。\n上書きしますか?"),
                      TMsgKind::Confirmation, TMsgButtons::YesNoCancel, 0) != TModalResult::Yes) {
        return;
    }
    try {
        WriteScript(*scriptPath);
    } catch (const TKestrifyError& e) {
        modal.Message(this, TQtText::FromSjis(e.what()), TMsgKind::Error, TMsgButtons::Ok, 0);
        return;
    }
    modal.Message(this, U("作成しました。"), TMsgKind::Information, TMsgButtons::Ok, 0);
    accept();
}

void TFormMakeBatch::WriteScript(const QString& scriptPath) {
    TAutoRunScript script;
    script.program = FileName(programPath_);
    // A cron job or a double click runs the script from another folder: the
    // project, checked from here, is written with its full path. The CSV path
    // stays as typed, resolved where the script runs.
    script.projectFile = FileName(QFileInfo(editParamFile_->text()).absoluteFilePath());
    script.csvFile = FileName(editCSVFile_->text());
    script.saveType = radioGroupSaveParam_->ItemIndex();
    script.makeBackup = checkBoxBackup_->isChecked();
    script.headless = checkBoxHeadless_->isChecked();
    script.onlyNew = checkBoxOnlyNew_->isChecked();
    script.Save(FileName(scriptPath));
}
