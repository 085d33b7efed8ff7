#include "gui/app/TFormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include <unistd.h>

#include "base/THelpTopic.h"
#include "base/TKestrifyError.h"
#include "convert/TCSVConverter.h"
#include "convert/TConversionJob.h"
#include "convert/TExitStatus.h"
#include "convert/TOutputTargetCheck.h"
#include "gui/app/TCommandLine.h"
#include "gui/app/TFormMakeBatch.h"
#include "gui/app/TThunderbirdFolderDialog.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TProgramEnd.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScreenFit.h"
#include "gui/base/UiText.h"
#include "gui/controls/THistoryComboBox.h"
#include "gui/controls/TWorkAside.h"
#include "gui/controls/TWorkProgress.h"
#include "gui/convert/TFormConvert.h"
#include "gui/imap/TImapConnectDialog.h"
#include "gui/imap/TImapPasswords.h"
#include "gui/params/TFormEditParamOrder.h"
#include "gui/params/TFormParamEdit.h"
#include "gui/params/TFormSpaceParamEdit.h"
#include "gui/params/TGridConvertParam.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TFormAbout.h"
#include "gui/settings/TFormClearSetting.h"
#include "gui/settings/TFormCommonSetting.h"
#include "gui/settings/TFormProjectSetting.h"
#include "imap/TImapUrl.h"
#include "mail/TMailStoreCheck.h"
#include "mail/TMailStoreFactory.h"
#include "mail/TStoreKind.h"
#include "params/TParamLimits.h"
#include "settings/TConvertParam.h"
#include "settings/TSettingFile.h"
#include "settings/TWineRegistry.h"
#include "state/TOnlyNewRun.h"
#include "state/TOutputChanged.h"

namespace {

std::string Sjis(const QString& text) {
    return TQtText::ToSjis(text);
}

const QString Untitled = QStringLiteral("(無題)");
const QString TitlePrefix = QStringLiteral("Kestrify - ");

constexpr const char* MailTypeHint =
    "AL-Mail、Datula、EdMax、Netscape Messenger 4の場合、\n"
    "「Unix mbox形式のファイルから」を選択します。\n\n"
    "Becky! ver.2の場合、\n[メールをコピーしたフォルダから]を選択します。\n\n"
    "Eudoraの場合、\n[Eudoraのmbxファイルから]を選択します。\n\n"
    "OutlookExpress5/6の場合、\n"
    "[メールをコピーしたフォルダから]「dbxファイルから読みとる」のどちらかを選択します。\n\n"
    "Shuriken Pro/Shurikenの場合、\n[Shuriken/Shuriken Pro形式のファイルから]を選択します。\n\n"
    "Thunderbirdの場合、\n[Thunderbirdのフォルダから]を選択します。\n\n"
    "mutt、notmuch、Dovecotなどの場合、\n[Maildir形式のフォルダから]を、"
    "nmh、Claws Mailの場合、\n[MH形式のフォルダから]を選択します。\n\n"
    "会社のメールサーバやGmailなど、サーバにあるメールを直接読む場合、\n"
    "[IMAP サーバから]を選択します。"
    "|メールの形式";

// Extensions are compared upper-cased.
QString UpperSuffix(const QString& path) {
    return QStringLiteral(".") + QFileInfo(path).suffix().toUpper();
}

bool IsFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// Where a Windows program under Wine keeps the stores; none when there is no
// Wine or the program's folder is not known.
std::optional<QString> WineStoreFolder(TStoreKind::TWineFolder wine) {
    const std::optional<std::filesystem::path> prefix = TWineRegistry::DefaultPrefix();
    if (!prefix) {
        return std::nullopt;
    }
    const TWineRegistry registry(*prefix);
    const std::optional<std::filesystem::path> folder =
        wine == TStoreKind::TWineFolder::OutlookExpress ? registry.OutlookExpressStoreRoot()
                                                        : registry.EudoraFolder();
    if (!folder) {
        return std::nullopt;
    }
    return QString::fromStdString(folder->string());
}

// The message of a failure as the user reads it; the core's errors carry
// Shift_JIS text, running out of memory carries none worth showing.
QString ErrorText(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
        return U("メモリが不足しています。");
    }
    return TQtText::FromSjis(e.what());
}

// Keeps the hourglass up until the end of the scope, also when it throws.
class TWaitCursor {
  public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Paths from the command line count from the current folder; the recent
// list and the last project keep them whole, to be found from anywhere.
QString AbsolutePath(const QString& path) {
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

QString Desktop() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

}  // namespace

TFormMain::TFormMain(TAppIni& appIni, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), appIni_(appIni) {
    setObjectName(QStringLiteral("FormMain"));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        convertForm_.SetScreenSize(screen->size().width(), screen->size().height());
    }
    convertForm_.Reset();
    setAcceptDrops(true);

    CreateActions();
    CreateControls();
    CreateMenus();
    ConnectActions();
    setStatusTip(U("[F1]キーでヘルプが表示されます。"));
    ShowTitle(TitlePrefix + Untitled);

    setMinimumSize(340, 360);
    resize(sizeHint().expandedTo(
        QSize(456, 390 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height())));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    TCommandLine commandLine(arguments);
    autoRun_ = commandLine.TakeAutoRun();
    automatic_ = autoRun_ != nullptr;
    if (const auto& project = commandLine.ProjectArgument()) {
        ShowTitle(*project);
        if (IsFile(*project)) {
            Guarded([&] { OpenProject(AbsolutePath(*project)); });
        }
    }
    MarkSaved();
    // Every change of the project shows in the title at once.
    QAbstractItemModel* model = gridParam_->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model, signal, this, &TFormMain::UpdateModified);
    }
    connect(model, &QAbstractItemModel::dataChanged, this, &TFormMain::UpdateModified);
    connect(model, &QAbstractItemModel::rowsMoved, this, &TFormMain::UpdateModified);
    connect(model, &QAbstractItemModel::modelReset, this, &TFormMain::UpdateModified);
    connect(model, &QAbstractItemModel::layoutChanged, this, &TFormMain::UpdateModified);
    connect(comboBoxMailType_, &QComboBox::currentIndexChanged, this, &TFormMain::UpdateModified);
    connect(comboBoxDir_, &QComboBox::editTextChanged, this, &TFormMain::UpdateModified);
}

TFormMain::~TFormMain() = default;

// ---------------------------------------------------------------------------
// Building the window

QAction* TFormMain::MakeAction(const char* name, const char* caption, const char* hint) {
    auto* action = new QAction(U(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    if (hint != nullptr) {
        action->setToolTip(THint::ToolTip(U(hint)));
        action->setStatusTip(THint::StatusTip(U(hint)));
    }
    return action;
}

void TFormMain::CreateActions() {
    actionCreateNewParam_ = MakeAction("ActionCreateNewParam", "プロジェクトの新規作成(&N)",
                                       "プロジェクトの新規作成|プロジェクトの新規作成");
    actionCreateNewParam_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actionOpenSetting_ = MakeAction("ActionOpenSetting", "プロジェクトを開く(&O)",
                                    "プロジェクトファイルを開く|プロジェクトファイルを開く");
    actionOpenSetting_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actionSaveOverwrite_ =
        MakeAction("ActionSaveOverwrite", "プロジェクトの上書き保存(&S)",
                   "プロジェクトをファイルに上書き保存する|プロジェクトをファイルに上書き保存する");
    actionSaveOverwrite_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actionSaveSetting_ = MakeAction("ActionSaveSetting", "プロジェクトを名前を付けて保存(&A)",
                                    "プロジェクトをファイルに名前を付けて保存する|"
                                    "プロジェクトをファイルに名前を付けて保存する");
    actionConvert_ = MakeAction("ActionConvert", "変換(&Y)", "メールを読み込む|メールを読み込む");
    actionConvert_->setShortcut(QKeySequence(Qt::Key_F5));
    actionClose_ = MakeAction("ActionClose", "閉じる(&C)", "閉じる|閉じる");
    actionSelectDirectory_ =
        MakeAction("ActionSelectDirectory", "参照(&S)", TStoreKind::All().front().desktop.hint);
    actionInsertParam_ =
        MakeAction("ActionInsertParam", "追加(&I)", "パラメータを追加|パラメータを追加");
    actionEditParam_ =
        MakeAction("ActionEditParam", "修正(&E)", "パラメータを修正|パラメータを修正");
    actionRemoveParam_ =
        MakeAction("ActionRemoveParam", "削除(&R)", "パラメータを削除|パラメータを削除");
    actionInsertSpaceParam_ = MakeAction("ActionInsertSpaceParam", "空列の追加(&T)", nullptr);
    actionUpParam_ =
        MakeAction("ActionUpParam", "上へ(&U)", "パラメータを上に移動|パラメータを上に移動");
    actionDownParam_ =
        MakeAction("ActionDownParam", "下へ(&D)", "パラメータを下に移動|パラメータを下に移動");
    actionParamSortEdit_ = MakeAction("ActionParamSortEdit", "順序変更",
                                      "パラメータの出力順を変更する|パラメータの出力順を変更する");
    actionParamSort_ =
        MakeAction("ActionParamSort", "ソート",
                   "パラメータの出力順序を登録順にする|パラメータの出力順序を登録順にする");
    actionSettingCommon_ = MakeAction("ActionSettingCommon", "全般設定(&T)", nullptr);
    actionSettingProject_ = MakeAction("ActionSettingProject", "プロジェクトの設定(&P)",
                                       "プロジェクトの設定|プロジェクトの設定");
    actionSettingClear_ =
        MakeAction("ActionSettingClear", "設定の削除(&R)", "設定を削除|設定を削除します。");
    actionSettingAutoExcec_ =
        MakeAction("ActionSettingAutoExcec", "自動処理ファイルの作成(&B)", nullptr);
    // Both live only in the Help menu, which gives them their own hints.
    actionHelpShowHejp_ =
        MakeAction("ActionHelpShowHejp", "トピックの検索(&H)", "トピックの検索|トピックの検索");
    actionHelpShowVersion_ =
        MakeAction("ActionHelpShowVersion", "バージョン情報(&A)", "バージョン情報|バージョン情報");
    for (QAction* a : findChildren<QAction*>()) {
        a->setShortcutContext(Qt::WindowShortcut);
    }
}

void TFormMain::CreateMenus() {
    menuFile_ = menuBar()->addMenu(U("ファイル(&F)"));
    menuFile_->setObjectName(QStringLiteral("MenuFile"));
    menuFile_->addAction(actionCreateNewParam_);
    menuFile_->addSeparator();
    menuFile_->addAction(actionOpenSetting_);
    menuFile_->addAction(actionSaveOverwrite_);
    menuFile_->addAction(actionSaveSetting_);
    menuFile_->addSeparator();
    menuFile_->addAction(actionConvert_);
    menuFile_->addSeparator();
    menuFile_->addAction(actionClose_);
    fixedFileItems_ = static_cast<int>(menuFile_->actions().size());
    connect(menuFile_, &QMenu::aboutToShow, this, &TFormMain::RebuildRecentItems);

    QMenu* params = menuBar()->addMenu(U("パラメータ(&P)"));
    params->setObjectName(QStringLiteral("MenuParam"));
    params->addAction(actionSelectDirectory_);
    params->addSeparator();
    params->addActions(
        {actionInsertParam_, actionEditParam_, actionRemoveParam_, actionInsertSpaceParam_});
    params->addSeparator();
    params->addActions({actionUpParam_, actionDownParam_});

    QMenu* settings = menuBar()->addMenu(U("設定(&T)"));
    settings->setObjectName(QStringLiteral("MenuSetting"));
    settings->addActions({actionSettingCommon_, actionSettingProject_});
    settings->addSeparator();
    settings->addAction(actionSettingAutoExcec_);
    settings->addSeparator();
    settings->addAction(actionSettingClear_);

    QMenu* help = menuBar()->addMenu(U("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(actionHelpShowHejp_);
    help->addSeparator();
    help->addAction(actionHelpShowVersion_);

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenuGrid"));
    popupMenu_->addActions(
        {actionInsertParam_, actionEditParam_, actionRemoveParam_, actionInsertSpaceParam_});
    popupMenu_->addSeparator();
    popupMenu_->addActions({actionUpParam_, actionDownParam_});
}

QPushButton* TFormMain::ActionButton(QAction* action, const char* name) {
    auto* button = new QPushButton(action->text());
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(action->toolTip());
    button->setStatusTip(action->statusTip());
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setToolTip(action->toolTip());
        button->setStatusTip(action->statusTip());
    });
    return button;
}

void TFormMain::CreateControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto* labelMailType = new QLabel(U("メールの処理方法(&K)"));
    labelMailType->setObjectName(QStringLiteral("LabelMailType"));
    comboBoxMailType_ = new QComboBox;
    comboBoxMailType_->setObjectName(QStringLiteral("ComboBoxMailType"));
    for (const TStoreKind& kind : TStoreKind::All()) {
        comboBoxMailType_->addItem(U(kind.desktop.choice));
    }
    comboBoxMailType_->setCurrentIndex(0);
    THint::Apply(comboBoxMailType_, U(MailTypeHint));
    THelpService::SetContext(comboBoxMailType_, THelpTopic::MailType);
    labelMailType->setBuddy(comboBoxMailType_);

    auto* labelDir = new QLabel(U("メールの場所(&M)"));
    labelDir->setObjectName(QStringLiteral("LabelDir"));
    comboBoxDir_ = new THistoryComboBox;
    comboBoxDir_->setObjectName(QStringLiteral("ComboBoxDir"));
    comboBoxDir_->setInsertPolicy(QComboBox::NoInsert);
    comboBoxDir_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboBoxDir_->setMinimumContentsLength(10);
    labelDir->setBuddy(comboBoxDir_);
    btnSelectDirectory_ = ActionButton(actionSelectDirectory_, "BtnSelectDirectory");
    ApplyLocationHint(0);

    gridParam_ = new TGridConvertParam(central);
    gridParam_->setObjectName(QStringLiteral("GridParam"));
    THint::Apply(gridParam_, U("メールの読み込み条件|メールの読み込み条件"));
    THelpService::SetContext(gridParam_, THelpTopic::Parameters);
    gridParam_->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(ActionButton(actionInsertParam_, "BtnInsertParam"));
    buttons->addWidget(ActionButton(actionEditParam_, "BtnEditParam"));
    buttons->addWidget(ActionButton(actionRemoveParam_, "BtnRemoveParam"));
    buttons->addSpacing(10);
    buttons->addWidget(ActionButton(actionUpParam_, "BtnUpParam"));
    buttons->addWidget(ActionButton(actionDownParam_, "BtnDownParam"));
    buttons->addSpacing(10);
    buttons->addWidget(ActionButton(actionParamSortEdit_, "BtnParamSortEdit"));
    buttons->addWidget(ActionButton(actionParamSort_, "BtnParamSort"));
    buttons->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    QPushButton* convert = ActionButton(actionConvert_, "BtnConvert");
    QPushButton* close = ActionButton(actionClose_, "BtnClose");
    for (QPushButton* b : {convert, close}) {
        b->setMinimumWidth(75);
        bottom->addWidget(b);
    }

    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(8, 8, 8, 4);
    grid->setHorizontalSpacing(7);
    grid->addWidget(labelMailType, 0, 0);
    grid->addWidget(comboBoxMailType_, 1, 0);
    grid->addWidget(labelDir, 2, 0);
    grid->addWidget(comboBoxDir_, 3, 0);
    grid->addWidget(btnSelectDirectory_, 3, 1);
    grid->addWidget(gridParam_, 4, 0);
    grid->addLayout(buttons, 4, 1);
    grid->addLayout(bottom, 5, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowMinimumHeight(2, labelDir->sizeHint().height() + 8);
    grid->setAlignment(labelDir, Qt::AlignBottom);

    setTabOrder(comboBoxMailType_, comboBoxDir_);
    setTabOrder(comboBoxDir_, gridParam_);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
}

void TFormMain::ConnectActions() {
    const auto bind = [this](QAction* action, void (TFormMain::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
    };
    bind(actionCreateNewParam_, &TFormMain::ActionCreateNewParamExecute);
    bind(actionOpenSetting_, &TFormMain::ActionOpenSettingExecute);
    bind(actionSaveOverwrite_, &TFormMain::ActionSaveOverwriteExecute);
    bind(actionSaveSetting_, &TFormMain::ActionSaveSettingExecute);
    bind(actionConvert_, &TFormMain::ActionConvertExecute);
    connect(actionClose_, &QAction::triggered, this, &QWidget::close);
    bind(actionSelectDirectory_, &TFormMain::ActionSelectDirectoryExecute);
    bind(actionInsertParam_, &TFormMain::ActionInsertParamExecute);
    bind(actionInsertSpaceParam_, &TFormMain::ActionInsertSpaceParamExecute);
    bind(actionEditParam_, &TFormMain::ActionEditParamExecute);
    bind(actionRemoveParam_, &TFormMain::ActionRemoveParamExecute);
    bind(actionUpParam_, &TFormMain::ActionUpParamExecute);
    bind(actionDownParam_, &TFormMain::ActionDownParamExecute);
    bind(actionParamSortEdit_, &TFormMain::ActionParamSortEditExecute);
    bind(actionParamSort_, &TFormMain::ActionParamSortExecute);
    bind(actionSettingCommon_, &TFormMain::ActionSettingCommonExecute);
    bind(actionSettingProject_, &TFormMain::ActionSettingProjectExecute);
    bind(actionSettingClear_, &TFormMain::ActionSettingClearExecute);
    bind(actionSettingAutoExcec_, &TFormMain::ActionSettingAutoExcecExecute);
    bind(actionHelpShowHejp_, &TFormMain::ActionHelpShowHejpExecute);
    bind(actionHelpShowVersion_, &TFormMain::ActionHelpShowVersionExecute);

    connect(comboBoxMailType_, &QComboBox::activated, this, &TFormMain::MailTypeChanged);
    connect(gridParam_, &QAbstractItemView::doubleClicked, actionEditParam_, &QAction::trigger);
    connect(gridParam_, &QWidget::customContextMenuRequested, this, &TFormMain::ShowGridMenu);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] {
        THelpService::Current().ShowTopic(
            THelpService::ContextFor(focusWidget() != nullptr ? focusWidget() : this));
    });
}

// ---------------------------------------------------------------------------
// Helpers

TModalResult TFormMain::Message(const QString& text, TMsgKind kind, TMsgButtons buttons,
                                int helpTopic) {
    return TModalService::Current().Message(this, text, kind, buttons, helpTopic);
}

template <class Command>
void TFormMain::Guarded(Command command) {
    try {
        if constexpr (std::is_member_function_pointer_v<Command>) {
            (this->*command)();
        } else {
            command();
        }
    } catch (const std::exception& e) {
        if (automatic_ && dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
            exitStatus_ = TExitStatus::OutOfMemory;
        }
        Message(ErrorText(e), TMsgKind::Error, TMsgButtons::Ok);
    }
    // Dialogs change the project without a signal of the grid.
    UpdateModified();
}

void TFormMain::SetTitleFromPath(const QString& path) {
    if (path != projectPath_) {
        projectPath_ = path;
        ShowTitle(TitlePrefix + (path.isEmpty() ? Untitled : path));
    } else if (path.isEmpty()) {
        ShowTitle(TitlePrefix + Untitled);
    }
}

void TFormMain::ShowTitle(const QString& title) {
    title_ = title;
    setWindowTitle(modified_ ? QStringLiteral("*") + title : title);
}

std::string TFormMain::ProjectState() const {
    // Fields joined by a byte that Shift_JIS text never holds.
    std::string state;
    const auto add = [&state](const auto& value) {
        if constexpr (std::is_convertible_v<decltype(value), std::string>) {
            state.append(value);
        } else {
            state.append(std::to_string(value));
        }
        state.push_back('\x01');
    };
    add(comboBoxMailType_->currentIndex());
    add(Sjis(comboBoxDir_->currentText()));
    add(Sjis(imapCaFile_));
    add(csvSaveParam_.GetSaveFileName());
    add(csvSaveParam_.GetSaveType());
    add(csvSaveParam_.GetMakeBackup());
    add(csvSaveParam_.GetOnlyNew());
    const TParamFormConvert& form = convertForm_;
    add(form.GetKeepWindowSize());
    add(form.GetKeepColumnWidths());
    add(gridParam_->GetAutoSetFieldNumber());
    add(gridParam_->GetAutoSetParamOrder());
    for (const TOrderedParamString& p : gridParam_->GetAllParam()) {
        add(p.GetParamOrder());
        add(p.GetParamKey());
        add(p.GetFieldOrder());
        add(p.GetFieldName());
        add(p.GetRowType());
        add(p.GetPosType());
        add(p.GetRegExt());
        add(p.GetOneLine());
        add(p.GetTrim());
        add(p.GetAutoFormat());
        add(p.GetStartLine());
        add(p.GetEndStr());
        add(p.GetEndStrRegExp());
        add(p.GetMailAddress());
        add(p.GetMailName());
    }
    return state;
}

void TFormMain::MarkSaved() {
    savedState_ = ProjectState();
    modified_ = false;
    ShowTitle(title_);
}

void TFormMain::UpdateModified() {
    const bool modified = ProjectState() != savedState_;
    if (modified != modified_) {
        modified_ = modified;
        ShowTitle(title_);
    }
}

bool TFormMain::ConfirmDiscard() {
    UpdateModified();
    if (!modified_) {
        return true;
    }
    switch (Message(U("プロジェクトは変更されています。保存しますか？"), TMsgKind::Confirmation,
                    TMsgButtons::SaveDiscardCancel)) {
        case TModalResult::Yes:
            break;
        case TModalResult::No:
            return true;
        default:
            return false;
    }
    try {
        ActionSaveOverwriteExecute();
    } catch (const std::exception& e) {
        Message(ErrorText(e), TMsgKind::Error, TMsgButtons::Ok);
        return false;
    }
    // A save dialog that was cancelled keeps the project as it is.
    return !modified_;
}

void TFormMain::OpenChosenProject(const QString& path) {
    if (ConfirmDiscard()) {
        OpenProject(path);
    }
}

void TFormMain::MailTypeChanged(int index) {
    ApplyLocationHint(index);
}

void TFormMain::ApplyLocationHint(int index) {
    const TStoreKind* kind = TStoreKind::Find(index);
    if (kind == nullptr) {
        return;
    }
    const QString hint = U(kind->desktop.hint);
    THint::ApplyToGroup(comboBoxDir_, hint);
    THelpService::SetContext(comboBoxDir_, kind->helpTopic);
    if (comboBoxDir_->lineEdit() != nullptr) {
        THelpService::SetContext(comboBoxDir_->lineEdit(), kind->helpTopic);
    }
    actionSelectDirectory_->setToolTip(THint::ToolTip(hint));
    actionSelectDirectory_->setStatusTip(THint::StatusTip(hint));
}

void TFormMain::ShowGridMenu(const QPoint& pos) {
    popupMenu_->popup(gridParam_->viewport()->mapToGlobal(pos));
}

// ---------------------------------------------------------------------------
// Project procedures

void TFormMain::OpenProject(const QString& path) {
    TWaitCursor wait;
    const std::string sjisPath = Sjis(path);
    TSettingFile file(sjisPath);
    file.Project().convertForm = convertForm_;  // the screen its defaults come from
    // Anything else opened as a project would be overwritten by the next save.
    file.ReadProject();
    const int type = file.GetMailType();
    comboBoxMailType_->setCurrentIndex(TStoreKind::IsKnown(type) ? type : -1);
    comboBoxDir_->setEditText(TQtText::FromSjis(file.GetDirectory()));
    imapCaFile_ = TQtText::FromSjis(file.GetImapCaFile());
    csvSaveParam_ = file.GetCSVSaveParam();
    htmlText_ = file.Project().htmlText;
    gridParam_->ClearParam();
    gridParam_->AddParam(file.GetParams());
    AddRecent(path);
    convertForm_ = *file.Project().convertForm;
    SetTitleFromPath(path);
    MarkSaved();
}

void TFormMain::SaveProject(const QString& path) {
    TWaitCursor wait;
    const std::string sjisPath = Sjis(path);
    TSettingFile file(sjisPath);
    file.SetDirectory(Sjis(comboBoxDir_->currentText()));
    for (const TOrderedParamString& param : gridParam_->GetAllParam()) {
        file.AddParam(param);
    }
    file.SetMailType(comboBoxMailType_->currentIndex());
    file.SetImapCaFile(Sjis(imapCaFile_));
    file.SetCSVSaveParam(csvSaveParam_);
    file.Project().htmlText = htmlText_;
    file.Project().convertForm = convertForm_;
    file.Write();
    SetTitleFromPath(path);
    AddRecent(path);
    MarkSaved();
}

void TFormMain::SaveProjectAs() {
    TFileRequest request;
    request.initialDir = Desktop();
    request.fileName = projectPath_;
    request.filter = U("プロジェクトファイル(*.KFY)|*.KFY");
    request.defaultExt = QStringLiteral(".KFY");
    std::optional<QString> chosen = TModalService::Current().SaveFile(this, request);
    if (!chosen) {
        return;
    }
    QString name = *chosen;
    if (UpperSuffix(name) != QLatin1String(".KFY")) {
        name += QStringLiteral(".KFY");  // appended: "a.txt" becomes "a.txt.KFY"
    }
    if (QFileInfo::exists(name)) {
        const QString question = QFileInfo(name).fileName() +
                                 U("\nこのファイル名はすでに存在します。\n\n上書きしますか？");
        if (Message(question, TMsgKind::Confirmation, TMsgButtons::YesNoCancel) !=
            TModalResult::Yes) {
            return;
        }
    }
    SaveProject(name);
}

void TFormMain::ActionCreateNewParamExecute() {
    if (!ConfirmDiscard()) {
        return;
    }
    comboBoxMailType_->setCurrentIndex(0);
    comboBoxDir_->setEditText(QString());
    imapCaFile_.clear();
    gridParam_->ClearParam();
    SetTitleFromPath(QString());
    convertForm_.Reset();
    htmlText_ = true;
    MarkSaved();
}

void TFormMain::ActionOpenSettingExecute() {
    if (!ConfirmDiscard()) {
        return;
    }
    openRequest_.filter = U("プロジェクトファイル(*.KFY;*.INI)|*.KFY;*.INI");
    if (!projectPath_.isEmpty()) {
        openRequest_.initialDir = QFileInfo(projectPath_).absolutePath();
        openRequest_.fileName = projectPath_;
    } else {
        openRequest_.initialDir = Desktop();
        openRequest_.fileName.clear();
    }
    if (std::optional<QString> chosen = TModalService::Current().OpenFile(this, openRequest_)) {
        openRequest_.fileName = *chosen;
        openRequest_.initialDir = QFileInfo(*chosen).absolutePath();
        OpenProject(*chosen);
    }
}

void TFormMain::ActionSaveOverwriteExecute() {
    if (projectPath_.isEmpty()) {
        SaveProjectAs();
        return;
    }
    if (UpperSuffix(projectPath_) != QLatin1String(".KFY")) {
        if (Message(U("ファイルが、ファイルサイズに制限のある古い形式です。\n"
                      "問題が修正された新しい形式で保存します。"),
                    TMsgKind::Information, TMsgButtons::OkCancel) == TModalResult::Ok) {
            SaveProjectAs();
        }
        return;
    }
    SaveProject(projectPath_);
}

void TFormMain::ActionSaveSettingExecute() {
    SaveProjectAs();
}

// ---------------------------------------------------------------------------
// Convert

std::string TFormMain::ReaderLocation() const {
    return Sjis(FromProjectFolder(comboBoxDir_->currentText()));
}

QString TFormMain::FromProjectFolder(const QString& location) const {
    if (location.isEmpty() || QDir::isAbsolutePath(location) || projectPath_.isEmpty() ||
        TImapUrl::IsImapUrl(location.toStdString())) {
        return location;
    }
    return QFileInfo(projectPath_).absoluteDir().filePath(location);
}

std::optional<TImapAccess> TFormMain::ImapAccess(const std::string& sjisLocation) {
    TImapAccess access;
    access.caFile = QFile::encodeName(FromProjectFolder(imapCaFile_)).toStdString();
    access.stop = TProgramEnd::Token();  // a conversion's job puts its run's in
    TImapUrl url;
    try {
        url = TImapUrl::Parse(TQtText::FromSjis(sjisLocation).toStdString());
    } catch (const TKestrifyError&) {
        return access;  // the store check names what is wrong with it
    }
    if (autoRun_ != nullptr) {
        access.secret = TImapPasswords::ForAutomaticRun(url);
        return access;
    }
    std::optional<std::string> secret = TImapPasswords::ForDesktop(this, url);
    if (!secret) {
        return std::nullopt;
    }
    access.secret = std::move(*secret);
    return access;
}

std::string TFormMain::ProjectOutput() const {
    const QString name = TQtText::FromSjis(csvSaveParam_.GetSaveFileName());
    if (name.isEmpty() || QDir::isAbsolutePath(name) || projectPath_.isEmpty()) {
        return Sjis(name);
    }
    return Sjis(QFileInfo(projectPath_).absoluteDir().filePath(name));
}

void TFormMain::ActionConvertExecute() {
    TConversionRequest request;
    request.params = gridParam_->GetAllParam();
    request.mailType = comboBoxMailType_->currentIndex();
    request.location = ReaderLocation();
    request.project = Sjis(projectPath_);
    std::optional<bool> forcedOnlyNew;
    if (autoRun_ != nullptr) {
        // The result window's save dialog checks what a person chooses.
        request.output = autoRun_->GetCsvFile();
        request.makeBackup = autoRun_->GetMakeBackup();
        forcedOnlyNew = autoRun_->GetOnlyNew();
    }
    request.onlyNew = forcedOnlyNew.value_or(csvSaveParam_.GetOnlyNew());
    if (request.onlyNew) {
        // The automatic run's CSV, else the project's.
        request.onlyNewOutput = autoRun_ != nullptr ? autoRun_->GetCsvFile() : ProjectOutput();
    }
    request.threads = TFormConvert::DefaultThreads();
    request.mailOptions.htmlText = htmlText_;
    onlyNewOutput_ = request.onlyNewOutput;
    imapOpening_ = false;
    // The run's one stop: the opening's キャンセル asks it, and the
    // program's end.
    runStop_ = std::stop_source();
    const std::stop_callback followEnd(TProgramEnd::Token(), [this] { runStop_.request_stop(); });
    int status = TExitStatus::BadInput;
    try {
        status = TConversionJob(std::move(request), *this, runStop_.get_token()).Run();
    } catch (const TNoPassword&) {
        // The user cancelled the password: nothing to say.
    }
    if (autoRun_ != nullptr) {
        exitStatus_ = status;
    }
}

TImapAccess TFormMain::StoreAccess() {
    std::optional<TImapAccess> access = ImapAccess(ReaderLocation());
    if (!access) {
        throw TNoPassword{};
    }
    // The job closes the connection as soon as the user stops the opening.
    imapOpening_ = true;
    return std::move(*access);
}

void TFormMain::Refused(const TJobRefusal& refusal) {
    Message(TQtText::FromSjis(refusal.message), TMsgKind::Error,
            refusal.helpTopic != 0 ? TMsgButtons::OkHelp : TMsgButtons::Ok, refusal.helpTopic);
}

void TFormMain::Failed(const std::exception& error) {
    if (TMailStoreFactory::IsRemoteType(comboBoxMailType_->currentIndex())) {
        TImapPasswords::OpenFailed(ReaderLocation());  // a wrong one is asked for again next time
    }
    QString text = ErrorText(error);
    if (dynamic_cast<const TOutputChanged*>(&error) != nullptr) {
        text +=
            U("\nCSV ファイルを元に戻すか、プロジェクトの設定の「変換済みの記録を消す」で"
              "記録を消してください (次の変換ですべてのメールを変換し直します)。");
    }
    Message(text, TMsgKind::Error, TMsgButtons::Ok);
}

void TFormMain::RunAside(const std::function<void()>& work) {
    if (!imapOpening_) {
        TWorkAside::Run(this, work);
        return;
    }
    // A server may keep the window waiting until its timeouts: past a
    // moment the user sees why and may stop it.
    constexpr int kProgressDelayMs = 300;
    TWorkProgress progress(this, U("IMAP サーバに接続しています…"),
                           [this] { runStop_.request_stop(); });
    TWorkAside::Run(this, work, [&] { progress.ShowAfter(kProgressDelayMs); });
    imapOpening_ = false;
}

int TFormMain::Stopped() {
    if (TProgramEnd::Requested()) {
        return TExitStatus::BadInput;  // the program ends without a word
    }
    // The user stopped the opening: as a run stopped in the result window,
    // nothing is saved and nothing is said.
    return TExitStatus::WriteFailed;
}

int TFormMain::Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) {
    std::optional<TAutoExexParam> autoRun;
    if (autoRun_ != nullptr) {
        autoRun = *autoRun_;
        if (onlyNew != nullptr) {
            autoRun->SetSaveType(onlyNew->SaveType());  // appended, or a new file whole
        }
    }
    onlyNew_ = onlyNew;
    const TConvertResult result =
        RunResultWindow(std::move(converter), csvSaveParam_, autoRun ? &*autoRun : nullptr);
    onlyNew_ = nullptr;
    if (autoRun_ != nullptr) {
        exitStatus_ = result.runStatus;
    }
    if (TProgramEnd::Requested()) {
        return result.runStatus;  // nothing more is written
    }
    // The project keeps the save options it had before the conversion; the
    // window takes over the result window's only afterwards, also when the
    // project cannot be written.
    try {
        if (!projectPath_.isEmpty() && QFileInfo(projectPath_).isFile()) {
            SaveProject(projectPath_);
        }
    } catch (...) {
        csvSaveParam_ = result.saveParam;
        throw;
    }
    csvSaveParam_ = result.saveParam;
    return result.runStatus;
}

int TFormMain::RunStatus(const TConvertReport& report) {
    if (report.automaticSaved) {
        return TExitStatus::AfterSave(report.failedMails);
    }
    if (report.outOfMemory) {
        return TExitStatus::OutOfMemory;
    }
    if (report.end == ::TConvertOutcome::TEnd::Failed) {
        return TExitStatus::BadInput;
    }
    // Not written: the save failed, or the user stopped the run.
    return TExitStatus::WriteFailed;
}

// Whatever unwinds through the dialog's event loop (memory that ran out in
// Qt's own event handling, outside every handler the application's notify()
// guards) leaves the dialog half torn down: destroying it then crashes. The
// run's temporary files go and the program ends here, without the dialog's
// destructor: out of memory with the memory message and status 4 as any
// other memory failure ends, anything else with status 2.
[[noreturn]] static void EndAfterLostEventLoop(TFormConvert& form,
                                               const std::exception_ptr& error) {
    form.DropWork();
    const bool outOfMemory = TProgramEnd::IsOutOfMemory(error);
    if (outOfMemory && !TProgramEnd::Requested()) {
        static const char message[] = "kestrify: メモリが不足しています。\n";
        [[maybe_unused]] const ssize_t written =
            ::write(STDERR_FILENO, message, sizeof message - 1);
    }
    std::_Exit(TProgramEnd::Requested() ? TProgramEnd::Status()
               : outOfMemory            ? TExitStatus::OutOfMemory
                                        : TExitStatus::BadInput);
}

TFormMain::TConvertResult TFormMain::RunResultWindow(std::unique_ptr<TCSVConverter> converter,
                                                     const TCSVSaveParam& saveParam,
                                                     const TAutoExexParam* autoRun) {
    TFormConvert form(this, std::move(converter), convertForm_);
    form.SetSaveParam(saveParam);
    form.SetSheetName(Sjis(QFileInfo(projectPath_).completeBaseName()));
    if (onlyNew_ != nullptr) {
        form.SetOnlyNew(onlyNew_, onlyNewOutput_);
    }
    if (!projectPath_.isEmpty()) {
        form.SetProjectFolder(QFileInfo(projectPath_).absolutePath());
    }
    form.SetOutputCheck(TOutputTargetCheck(Sjis(projectPath_), ReaderLocation()));
    if (autoRun != nullptr) {
        form.SetAutoExexParam(*autoRun);
    }
    try {
        form.exec();
    } catch (...) {
        EndAfterLostEventLoop(form, std::current_exception());
    }
    TConvertResult result;
    result.saveParam = form.GetSaveParam();
    result.runStatus = RunStatus(form.Report());
    return result;
}

// ---------------------------------------------------------------------------
// Parameters

bool TFormMain::AddAllowed() {
    if (gridParam_->GetParamCount() >= TParamLimits::MaxParams) {
        Message(U("これ以上パラメータは登録できません。"), TMsgKind::Information, TMsgButtons::Ok,
                THelpTopic::Parameters);
        return false;
    }
    return true;
}

void TFormMain::AppendParam(TOrderedParamString param) {
    param.SetFieldOrder(gridParam_->GetParamCount());
    gridParam_->AddParam(param);
}

void TFormMain::ActionInsertParamExecute() {
    if (!AddAllowed()) {
        return;
    }
    TFormParamEdit form(this);
    SetPreviewSource(form, -1);
    if (form.exec() == QDialog::Accepted) {
        AppendParam(form.GetParam());
    }
}

void TFormMain::ActionInsertSpaceParamExecute() {
    if (!AddAllowed()) {
        return;
    }
    TFormSpaceParamEdit form(this);
    if (form.exec() == QDialog::Accepted) {
        AppendParam(form.GetParam());
    }
}

void TFormMain::ActionEditParamExecute() {
    if (!gridParam_->IsSelected()) {
        return;
    }
    const TOrderedParamString param = gridParam_->GetParam();
    const int fieldOrder = param.GetFieldOrder();
    std::unique_ptr<TFormAbstructParamEdit> form;
    if (param.GetRowType() == TOrderedParamString::RowEmpty) {
        form = std::make_unique<TFormSpaceParamEdit>(this);
    } else {
        form = std::make_unique<TFormParamEdit>(this);
    }
    form->SetParam(param);
    if (auto* editor = dynamic_cast<TFormParamEdit*>(form.get())) {
        SetPreviewSource(*editor, gridParam_->GetCurrentRow() - 1);
    }
    if (form->exec() == QDialog::Accepted) {
        TOrderedParamString edited = form->GetParam();
        edited.SetFieldOrder(fieldOrder);
        gridParam_->SetParam(gridParam_->GetCurrentRow(), edited);
    }
}

void TFormMain::SetPreviewSource(TFormParamEdit& form, int position) {
    TFormParamEdit::TPreviewSource source;
    source.mailType = comboBoxMailType_->currentIndex();
    source.location = ReaderLocation();
    source.htmlText = htmlText_;
    source.params.SetAutoSetFieldNumber(gridParam_->GetAutoSetFieldNumber());
    source.params.SetAutoSetParamOrder(gridParam_->GetAutoSetParamOrder());
    for (const TOrderedParamString& p : gridParam_->GetAllParam()) {
        source.params.Add(p);
    }
    source.position = position;
    if (TMailStoreFactory::IsRemoteType(source.mailType)) {
        // The main window outlives the editor whose preview asks.
        source.imapAccess = [this, location = source.location] { return ImapAccess(location); };
    }
    form.SetPreviewSource(source);
}

void TFormMain::ActionRemoveParamExecute() {
    if (gridParam_->IsSelected()) {
        gridParam_->RemoveParam(gridParam_->GetCurrentRow());
    }
}

void TFormMain::ActionUpParamExecute() {
    const int row = gridParam_->GetCurrentRow();
    if (row > 1) {
        gridParam_->MoveUpParam(row);
    }
}

void TFormMain::ActionDownParamExecute() {
    const int row = gridParam_->GetCurrentRow();
    if (row < gridParam_->GetRowCount() - 1) {
        gridParam_->MoveDownParam(row);
        gridParam_->SetCurrentRow(row + 1);
    }
}

void TFormMain::ActionParamSortEditExecute() {
    if (gridParam_->GetParamCount() == 0) {
        Message(U("パラメータが登録されていません。"), TMsgKind::Information, TMsgButtons::Ok);
        return;
    }
    TFormEditParamOrder form(this);
    form.SetParams(TConvertParam(gridParam_->GetAllParam()).GetParams());
    if (form.exec() == QDialog::Accepted) {
        gridParam_->ClearParam();
        gridParam_->AddParam(form.GetParams());
        gridParam_->viewport()->update();
    }
}

void TFormMain::ActionParamSortExecute() {
    gridParam_->ClearParamOrder();
    gridParam_->viewport()->update();
}

// ---------------------------------------------------------------------------
// Mail location

void TFormMain::ActionSelectDirectoryExecute() {
    const TStoreKind* kind = TStoreKind::Find(comboBoxMailType_->currentIndex());
    if (kind == nullptr) {
        return;  // no mail type selected
    }
    const TStoreKind::TDesktop& desktop = kind->desktop;
    switch (desktop.browse) {
        case TStoreKind::TBrowse::File:
            ChooseStoreFile(*kind);
            break;
        case TStoreKind::TBrowse::Folder:
            ChooseFolder(U(desktop.browseText));
            break;
        case TStoreKind::TBrowse::CheckedFolder:
            ChooseStoreFolder(kind->number, U(desktop.browseText));
            break;
        case TStoreKind::TBrowse::ThunderbirdFolder:
            ChooseThunderbirdFolder();
            break;
        case TStoreKind::TBrowse::ImapFolder:
            ChooseImapFolder();
            break;
    }
}

// The dialog starts on the location when it is a file of the kind's suffix,
// else in the folder where the Windows program under Wine keeps its stores.
void TFormMain::ChooseStoreFile(const TStoreKind& kind) {
    const TStoreKind::TDesktop& desktop = kind.desktop;
    const QString location = comboBoxDir_->currentText();
    const QString suffix = QString::fromLatin1(desktop.suffix);
    const bool startOnLocation =
        IsFile(location) && (suffix.isEmpty() || UpperSuffix(location) == suffix);
    std::optional<QString> startFolder = QString();
    if (desktop.wine != TStoreKind::TWineFolder::None) {
        startFolder = WineStoreFolder(desktop.wine);
    }
    ChooseFile(U(desktop.browseText), startOnLocation ? location : QString(), startFolder);
}

void TFormMain::ChooseFolder(const QString& caption) {
    const QString location = comboBoxDir_->currentText();
    if (std::optional<QString> folder = TModalService::Current().BrowseFolder(
            this, caption, IsFolder(location) ? location : QString())) {
        comboBoxDir_->Add(*folder);
        comboBoxDir_->setEditText(*folder);
    }
}

// A folder is taken only when it looks like a store of `type`; otherwise the
// store check says what it looks like and the dialog opens again on it.
void TFormMain::ChooseStoreFolder(int type, const QString& caption) {
    const QString location = comboBoxDir_->currentText();
    QString start = IsFolder(location) ? location : QString();
    while (std::optional<QString> folder =
               TModalService::Current().BrowseFolder(this, caption, start)) {
        const TMailStoreCheck::TResult shape = TMailStoreCheck::Check(type, Sjis(*folder));
        if (shape.fits) {
            comboBoxDir_->Add(*folder);
            comboBoxDir_->setEditText(*folder);
            return;
        }
        TModalService::Current().Message(
            this, QString::fromStdString(TMailStoreCheck::Message(type, shape)), TMsgKind::Warning,
            TMsgButtons::OkHelp, TStoreKind::Get(type).helpTopic);
        start = *folder;
    }
}

void TFormMain::ChooseThunderbirdFolder() {
    TThunderbirdFolderDialog dialog(this, QFile::encodeName(QDir::homePath()).toStdString(),
                                    comboBoxDir_->currentText());
    if (dialog.exec() == QDialog::Accepted && !dialog.SelectedFile().isEmpty()) {
        comboBoxDir_->Add(dialog.SelectedFile());
        comboBoxDir_->setEditText(dialog.SelectedFile());
    }
}

void TFormMain::ChooseImapFolder() {
    TImapConnectDialog dialog(this, comboBoxDir_->currentText(), imapCaFile_);
    if (!projectPath_.isEmpty()) {
        dialog.SetProjectFolder(QFileInfo(projectPath_).absolutePath());
    }
    if (dialog.exec() == QDialog::Accepted) {
        comboBoxDir_->Add(dialog.Url());
        comboBoxDir_->setEditText(dialog.Url());
        imapCaFile_ = dialog.CaFile();
        UpdateModified();
    }
}

// An existing `startFile` opens the dialog on it. Otherwise `startFolder`
// names where to start with an empty name; none (a store the registry does
// not know) keeps what the dialog had from its previous use.
void TFormMain::ChooseFile(const QString& filter, const QString& startFile,
                           const std::optional<QString>& startFolder) {
    openRequest_.filter = filter;
    if (!startFile.isEmpty()) {
        openRequest_.fileName = startFile;
        openRequest_.initialDir = QFileInfo(startFile).absolutePath();
    } else if (startFolder) {
        openRequest_.fileName.clear();
        openRequest_.initialDir = *startFolder;
    }
    if (std::optional<QString> chosen = TModalService::Current().OpenFile(this, openRequest_)) {
        openRequest_.fileName = *chosen;
        openRequest_.initialDir = QFileInfo(*chosen).absolutePath();
        comboBoxDir_->Add(*chosen);
        comboBoxDir_->setEditText(*chosen);
    }
}

// ---------------------------------------------------------------------------
// Dropped files

namespace {

// The kind a dropped folder or file is taken as: a file by its suffix for
// the kinds that go by it (DBX), else by what the store check sees in it,
// for the kinds whose files tell (Thunderbird; other files stay ignored); a
// folder as a Maildir, an MH folder or else a folder of mail files.
std::optional<int> DroppedStoreKind(const QFileInfo& info) {
    if (!info.isDir() && !info.isFile()) {
        return std::nullopt;
    }
    if (info.isFile()) {
        for (const TStoreKind& kind : TStoreKind::All()) {
            if (kind.desktop.drop == TStoreKind::TDrop::BySuffix &&
                UpperSuffix(info.filePath()) == QString::fromLatin1(kind.desktop.suffix)) {
                return kind.number;
            }
        }
    }
    const std::optional<int> kind = TMailStoreCheck::Detect(Sjis(info.filePath()));
    if (info.isDir()) {
        return kind.value_or(TStoreKind::EmlFolder);
    }
    const TStoreKind* found = kind ? TStoreKind::Find(*kind) : nullptr;
    return found != nullptr && found->desktop.drop == TStoreKind::TDrop::ByContent ? kind
                                                                                   : std::nullopt;
}

}  // namespace

void TFormMain::DropPaths(const QStringList& paths) {
    const bool opensProject = std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        const QString ext = UpperSuffix(path);
        return QFileInfo(path).isFile() &&
               (ext == QLatin1String(".INI") || ext == QLatin1String(".KFY"));
    });
    if (opensProject && !ConfirmDiscard()) {
        return;
    }
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString ext = UpperSuffix(path);
        if (info.isFile() && (ext == QLatin1String(".INI") || ext == QLatin1String(".KFY"))) {
            // A project that cannot be read is reported; the other paths still count.
            Guarded([&] { OpenProject(path); });
        } else if (const std::optional<int> kind = DroppedStoreKind(info)) {
            comboBoxMailType_->setCurrentIndex(*kind);
            comboBoxDir_->setEditText(path);
        }
    }
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TFormMain::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    DropPaths(paths);
}

// ---------------------------------------------------------------------------
// Help

void TFormMain::ActionHelpShowHejpExecute() {
    THelpService::Current().ShowTopic(THelpTopic::Contents);
}

// ---------------------------------------------------------------------------
// Start and end

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        FirstShow();
    }
}

void TFormMain::FirstShow() {
    if (appIni_.GetRestoreWindowSize()) {
        resize(appIni_.GetWindowWidth(), appIni_.GetWindowHeight());
    }
    TScreenFit::Fit(*this);
    // Also before an automatic run, which then opens its own project.
    const QString last = TQtText::FromSjis(appIni_.GetLastParamFile());
    if (appIni_.GetRestoreParamFile() && projectPath_.isEmpty() && IsFile(last)) {
        Guarded([&] { OpenProject(last); });
    }
    QTimer::singleShot(0, this, &TFormMain::FirstIdle);
}

void TFormMain::FirstIdle() {
    if (autoRun_ == nullptr) {
        return;
    }
    // Only a result window that saved turns this into success.
    exitStatus_ = TExitStatus::BadInput;
    try {
        OpenAutoRunProject();
        ShowTitle(U("自動実行処理中..."));
        ActionConvertExecute();
    } catch (const std::exception& e) {
        if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
            exitStatus_ = TExitStatus::OutOfMemory;
        }
        Message(ErrorText(e), TMsgKind::Error, TMsgButtons::Ok);
    }
    autoRun_.reset();
    close();
}

void TFormMain::OpenAutoRunProject() {
    const QString path = AbsolutePath(TQtText::FromSjis(autoRun_->GetParamFile()));
    if (!QFileInfo::exists(path)) {
        throw TKestrifyError(Sjis(path + U(": プロジェクトファイルが見つかりませんでした。")));
    }
    OpenProject(path);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    // An automatic run has nobody to ask.
    if (!event->isAccepted() || (!automatic_ && !TProgramEnd::Requested() && !ConfirmDiscard())) {
        event->ignore();
        return;
    }
    THelpService::Current().Quit();
    if (!projectPath_.isEmpty()) {
        appIni_.SetLastParamFile(Sjis(projectPath_));
    }
    // A maximised or minimised window keeps the size stored before.
    if ((windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) == 0) {
        appIni_.SetWindowHeight(height());
        appIni_.SetWindowWidth(width());
    }
    emit Closed();
}

// ---------------------------------------------------------------------------
// Recent projects

void TFormMain::RebuildRecentItems() {
    const QList<QAction*> items = menuFile_->actions();
    for (qsizetype i = fixedFileItems_; i < items.size(); ++i) {
        menuFile_->removeAction(items[i]);
        items[i]->deleteLater();
    }
    menuFile_->addSeparator();
    const QStringList recent = RecentList();
    for (int n = 0; n < recent.size(); ++n) {
        QString caption = recent[n];
        caption.replace(u'&', QStringLiteral("&&"));  // a path's "&" is no accelerator
        QAction* item = menuFile_->addAction(QStringLiteral("&%1.").arg(n) + caption);
        item->setObjectName(QStringLiteral("RecentItem%1").arg(n));
        item->setToolTip(recent[n]);
        item->setStatusTip(recent[n]);
        connect(item, &QAction::triggered, this, [this, n] { Guarded([&] { OpenRecent(n); }); });
    }
}

void TFormMain::OpenRecent(int index) {
    const QStringList recent = RecentList();
    if (index < 0 || index >= recent.size()) {
        return;
    }
    const QString path = recent[index];
    if (!QFileInfo(path).isFile()) {
        Message(path + U("\nファイルが見つかりませんでした。"), TMsgKind::Error, TMsgButtons::Ok);
        RemoveRecent(path);
        return;
    }
    if (!ConfirmDiscard()) {
        return;
    }
    OpenProject(path);
}

// ---------------------------------------------------------------------------
// Application settings

QStringList TFormMain::RecentList() const {
    QStringList list;
    for (const std::string& path : appIni_.GetRecentFiles()) {
        list.append(TQtText::FromSjis(path));
    }
    return list;
}

void TFormMain::AddRecent(const QString& path) {
    try {
        appIni_.RecentAdd(Sjis(path));
    } catch (const TKestrifyError& e) {
        SettingsUnusable(e);
    }
}

void TFormMain::RemoveRecent(const QString& path) {
    try {
        appIni_.RecentRemove(Sjis(path));
    } catch (const TKestrifyError& e) {
        SettingsUnusable(e);
    }
}

// The settings are a convenience: a file that cannot be read or written is
// said once and the program goes on with what it has. An automatic run says
// it on standard error rather than wait for a click.
void TFormMain::SettingsUnusable(const std::exception& e) {
    if (settingsWarned_) {
        return;
    }
    settingsWarned_ = true;
    const QString text = U("設定ファイルを使えません。既定の設定で続けます。\n") + ErrorText(e);
    if (autoRun_ != nullptr) {
        std::fprintf(stderr, "kestrify: %s\n", text.toUtf8().constData());
        return;
    }
    Message(text, TMsgKind::Warning, TMsgButtons::Ok);
}

void TFormMain::ActionSettingCommonExecute() {
    TFormCommonSetting form(appIni_, this);
    form.exec();
}

void TFormMain::ActionSettingProjectExecute() {
    TFormProjectSetting form(convertForm_, csvSaveParam_, ProjectOutput(), htmlText_, this);
    form.exec();
}

void TFormMain::ActionSettingClearExecute() {
    TFormClearSetting form(appIni_, this);
    form.exec();
}

void TFormMain::ActionSettingAutoExcecExecute() {
    TFormMakeBatch form(this);
    form.exec();
}

void TFormMain::ActionHelpShowVersionExecute() {
    TFormAbout form(this);
    form.exec();
}
