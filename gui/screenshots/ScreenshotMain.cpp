// Renders the windows and dialogs in typical states to PNG files, without a
// desktop: kestrify_screenshots [output folder]. Each picture has a plain
// caption bar with the window title above the client area.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

#include "base/THelpTopic.h"
#include "convert/TConvertMessages.h"
#include "gui/app/TFormMain.h"
#include "gui/app/TFormMakeBatch.h"
#include "gui/base/TAppLook.h"
#include "gui/base/TMessageDialog.h"
#include "gui/base/TQtText.h"
#include "gui/base/TTranslations.h"
#include "gui/base/UiText.h"
#include "gui/controls/THistoryComboBox.h"
#include "gui/controls/TMLInplaceEdit.h"
#include "gui/controls/TMLStringGrid.h"
#include "gui/controls/TRadioGroup.h"
#include "gui/controls/TStringGridModel.h"
#include "gui/convert/TFormConvert.h"
#include "gui/convert/TFormSaveCSVDialog.h"
#include "gui/convert/TItemGrid.h"
#include "gui/help/TBuiltInHelpService.h"
#include "gui/help/THelpWindow.h"
#include "gui/imap/TImapConnectDialog.h"
#include "gui/imap/TImapFolderTree.h"
#include "gui/imap/TImapKeyring.h"
#include "gui/params/TFormEditParamOrder.h"
#include "gui/params/TFormParamEdit.h"
#include "gui/params/TFormSpaceParamEdit.h"
#include "gui/params/TGridConvertParam.h"
#include "gui/params/TParamPreviewPanel.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TFileAssociation.h"
#include "gui/settings/TFormAbout.h"
#include "gui/settings/TFormClearSetting.h"
#include "gui/settings/TFormCommonSetting.h"
#include "gui/settings/TFormProjectSetting.h"
#include "mail/TMailStoreFactory.h"
#include "settings/TParamFormConvert.h"
#include "settings/TSettingFile.h"

namespace {

std::string Sj(const char* utf8) {
    return TQtText::ToSjis(QString::fromUtf8(utf8));
}

class TShooter {
  public:
    explicit TShooter(QString folder) : folder_(std::move(folder)) { QDir().mkpath(folder_); }

    // Shows the window, lets it lay out and paint, and saves its client area
    // (the desktop draws the title bar; no picture pretends to).
    void Shoot(QWidget& window, const QString& name) {
        window.show();
        Settle();
        Save(window.grab(), name);
    }

    // The window with an open drop-down list or menu (another top-level
    // window), each where it lies on the screen.
    void ShootWithPopup(QWidget& window, QWidget& popup, const QString& name) {
        Settle();
        const QRect owner(window.mapToGlobal(QPoint(0, 0)), window.size());
        const QRect list(popup.mapToGlobal(QPoint(0, 0)), popup.size());
        const QRect all = owner.united(list);
        const QPixmap ownerPicture = window.grab();
        const qreal ratio = ownerPicture.devicePixelRatio();
        QPixmap both(all.size() * ratio);
        both.setDevicePixelRatio(ratio);
        both.fill(QColor(0x6d, 0x7b, 0x8d));  // a plain desktop behind them
        QPainter p(&both);
        p.drawPixmap(owner.topLeft() - all.topLeft(), ownerPicture);
        p.drawPixmap(list.topLeft() - all.topLeft(), popup.grab());
        p.end();
        Save(both, name);
    }

    int Count() const { return count_; }

  private:
    static void Settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(20);
        }
    }

    void Save(const QPixmap& picture, const QString& name) {
        const QString path = folder_ + u'/' + name + QStringLiteral(".png");
        if (picture.save(path)) {
            ++count_;
            std::printf("%s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
    }

    QString folder_;
    int count_ = 0;
};

TOrderedParamString BodyParam(const char* key, const char* name, int fieldOrder) {
    return TOrderedParamString(-1, Sj(key), fieldOrder, Sj(name), TOrderedParamString::RowSingle,
                               TOrderedParamString::PosBody, false, false, false, 0, true, "",
                               false, false, false);
}

TOrderedParamString HeaderParam(const char* key, const char* name, int fieldOrder) {
    TOrderedParamString p = BodyParam(key, name, fieldOrder);
    p.SetPosType(TOrderedParamString::PosHeader);
    return p;
}

TOrderedParamString EmptyColumn(const char* name, int fieldOrder) {
    return TOrderedParamString(-1, "", fieldOrder, Sj(name), TOrderedParamString::RowEmpty,
                               TOrderedParamString::PosEmpty, false, false, false, 0, true, "",
                               false, false, false);
}

std::vector<TOrderedParamString> SampleParams() {
    TOrderedParamString multi = BodyParam("お問い合わせ内容：", "内容", 4);
    multi.SetRowType(TOrderedParamString::RowMulti);
    return {HeaderParam("From:", "From", 0),
            HeaderParam("Subject:", "Subject", 1),
            BodyParam("お名前：", "お名前", 2),
            BodyParam("ご住所：", "住所", 3),
            multi,
            EmptyColumn("備考", 5)};
}

void ShootParamEdit(TShooter& shooter) {
    {
        TFormParamEdit form;
        form.show();
        shooter.Shoot(form, QStringLiteral("param_edit_new"));
    }
    {
        TFormParamEdit form;
        form.show();
        auto* key = form.findChild<QComboBox*>(QStringLiteral("EditKey"));
        key->setCurrentIndex(1);
        shooter.Shoot(form, QStringLiteral("param_edit_shortcut_header"));
        key->showPopup();
        shooter.ShootWithPopup(form, *key->view()->window(),
                               QStringLiteral("param_edit_shortcut_list"));
        key->hidePopup();
    }
    {
        TFormParamEdit form;
        TOrderedParamString p = BodyParam("お問い合わせ内容：", "内容", -1);
        p.SetRowType(TOrderedParamString::RowMulti);
        p.SetStartLine(false);
        p.SetTrim(true);
        p.SetAutoFormat(72);
        p.SetEndStr(Sj("^-{3,}"));
        p.SetEndStrRegExp(true);
        form.SetParam(p);
        form.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(0);
        shooter.Shoot(form, QStringLiteral("param_edit_body_multi"));
        form.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(1);
        form.findChild<QLineEdit*>(QStringLiteral("EditAutoFormat"))->setFocus();
        shooter.Shoot(form, QStringLiteral("param_edit_body_multi_advanced"));
    }
    {
        TFormParamEdit form;
        TOrderedParamString p = HeaderParam("From:", "From", -1);
        p.SetMailAddress(true);
        form.SetParam(p);
        form.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(1);
        shooter.Shoot(form, QStringLiteral("param_edit_header_advanced"));
    }
}

void ShootSpaceParamEdit(TShooter& shooter) {
    TFormSpaceParamEdit form;
    form.SetParam(EmptyColumn("備考", -1));
    shooter.Shoot(form, QStringLiteral("space_param_edit"));
}

void ShootParamOrder(TShooter& shooter) {
    TFormEditParamOrder form;
    std::vector<TOrderedParamString> params = SampleParams();
    for (int i = 0; i < static_cast<int>(params.size()); ++i) {
        params[i].SetParamOrder(i);
    }
    form.SetParams(params);
    shooter.Shoot(form, QStringLiteral("param_order_initial"));
    form.LeftGrid()->SetCurrentRow(3);
    form.ActionAddExecute();
    form.LeftGrid()->SetCurrentRow(1);
    form.ActionAddExecute();
    form.LeftGrid()->setFocus();
    shooter.Shoot(form, QStringLiteral("param_order_partial"));
    form.ActionAllAddExecute();
    shooter.Shoot(form, QStringLiteral("param_order_all_placed"));
}

void ShootParamGrid(TShooter& shooter) {
    QWidget host;
    host.setWindowTitle(U("パラメータグリッド"));
    host.resize(456, 240);
    auto* grid = new TGridConvertParam(&host);
    grid->setGeometry(8, 8, 440, 224);
    std::vector<TOrderedParamString> params = SampleParams();
    for (auto& p : params) {
        grid->AddParam(p);
    }
    grid->SetCurrentRow(3);
    shooter.Shoot(host, QStringLiteral("param_grid"));
    grid->ClearParam();
    shooter.Shoot(host, QStringLiteral("param_grid_empty"));
}

void ShootStringGrid(TShooter& shooter) {
    TStringGridModel model;  // outlives the grid
    QWidget host;
    host.setWindowTitle(U("複数行グリッド"));
    host.resize(480, 220);
    auto* grid = new TMLStringGrid(&host);
    grid->setGeometry(8, 8, 464, 204);
    model.SetSize(4, 3);
    grid->setModel(&model);
    grid->verticalHeader()->setDefaultSectionSize(44);
    grid->horizontalHeader()->setDefaultSectionSize(150);
    model.SetCell(0, 0, U("山田 太郎"));
    model.SetCell(0, 1, U("東京都千代田区\r\n丸の内一丁目"));
    model.SetCell(0, 2, U("とても長い一行のお問い合わせ内容で、セルの幅を超えて続きます。"));
    model.SetCell(1, 0, U("R&D 部"));
    model.SetCell(1, 1, U("一行目\r\n二行目\r\n三行目"));
    model.SetCell(1, 2, U("Long text that runs past the right edge of the cell"));
    shooter.Shoot(host, QStringLiteral("ml_grid"));
    grid->SetWordWrap(true);
    shooter.Shoot(host, QStringLiteral("ml_grid_wordwrap"));
    grid->setCurrentIndex(model.index(1, 1));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F2);
    if (TMLInplaceEdit* editor = grid->InplaceEditor()) {
        QTest::keyClick(editor, Qt::Key_Return);
        editor->insertPlainText(U("四行目"));
        editor->ensureCursorVisible();
    }
    shooter.Shoot(host, QStringLiteral("ml_grid_editing"));
}

void ShootHistoryCombo(TShooter& shooter) {
    QWidget host;
    host.setWindowTitle(U("メールの場所"));
    host.resize(380, 48);
    auto* combo = new THistoryComboBox(&host);
    combo->setGeometry(8, 12, 364, 24);
    for (const char* path : {"/home/yamada/Mail/inbox", "/home/yamada/メール/問い合わせ",
                             "/home/yamada/Mail/archive.mbx", "/home/yamada/メール/問い合わせ"}) {
        combo->Add(U(path));
    }
    combo->setEditText(U("/home/yamada/メール/問い合わせ"));
    host.show();
    combo->showPopup();
    shooter.ShootWithPopup(host, *combo->view()->window(), QStringLiteral("history_combo"));
    combo->hidePopup();
}

void ShootMessages(TShooter& shooter) {
    struct Box {
        const char* name;
        const char* text;
        TMsgKind kind;
        TMsgButtons buttons;
    };
    const Box boxes[] = {
        {"msg_warning_ok", "パラメータ文字が指定されていません。", TMsgKind::Warning,
         TMsgButtons::Ok},
        {"msg_warning_ok_help", "jre32.dllが見つからないため、\n正規表現は使えません。",
         TMsgKind::Warning, TMsgButtons::OkHelp},
        {"msg_error_ok_help", "メールのあるフォルダを指定してください。", TMsgKind::Error,
         TMsgButtons::OkHelp},
        {"msg_information_ok_cancel",
         "ファイルが、ファイルサイズに制限のある古い形式です。\n問題が修正された新しい形式で保存し"
         "ます。",
         TMsgKind::Information, TMsgButtons::OkCancel},
        {"msg_confirmation_yes_no_cancel",
         "sample.KFY\nこのファイル名はすでに存在します。\n\n上書きしますか？",
         TMsgKind::Confirmation, TMsgButtons::YesNoCancel},
        {"msg_confirmation_yes_no_help", "変換を中止しますか？", TMsgKind::Confirmation,
         TMsgButtons::YesNoHelp},
        {"msg_project_modified", "プロジェクトは変更されています。保存しますか？",
         TMsgKind::Confirmation, TMsgButtons::SaveDiscardCancel},
        {"msg_table_modified", "表は変更されています。保存しますか？", TMsgKind::Confirmation,
         TMsgButtons::SaveDiscardCancel},
        {"msg_not_a_project", "/home/yamada/garbage.KFY: プロジェクトファイルではありません。",
         TMsgKind::Error, TMsgButtons::Ok},
        {"msg_wrong_store_kind",
         "/home/yamada/inbox.mbox\nDBXファイルではないようです。\nUnix "
         "mbox形式のファイルのようです。",
         TMsgKind::Error, TMsgButtons::OkHelp},
        {"msg_save_failed",
         "ファイルの保存に失敗しました。\n/home/yamada/読み取り専用/out.csv\n(Permission denied)",
         TMsgKind::Error, TMsgButtons::Ok},
    };
    for (const Box& box : boxes) {
        TMessageDialog dialog(nullptr, U(box.text), box.kind, box.buttons, 10);
        shooter.Shoot(dialog, QString::fromLatin1(box.name));
    }
}

// Qt's own file dialog (the one used where the desktop offers none), with
// Qt's Japanese texts.
void ShootFileDialog(TShooter& shooter) {
    QTranslator* japanese = TTranslations::Load(QLocale(QLocale::Japanese, QLocale::Japan));
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("案件"));
    QFile(folder.path() + QStringLiteral("/お問い合わせ.KFY")).open(QIODevice::WriteOnly);
    QFileDialog dialog(nullptr, U("プロジェクトを開く"), folder.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({U("プロジェクトファイル (*.KFY *.INI)")});
    dialog.resize(640, 400);
    shooter.Shoot(dialog, QStringLiteral("file_dialog_open"));
    if (japanese != nullptr) {
        QCoreApplication::removeTranslator(japanese);
        delete japanese;
    }
}

void ShootMakeBatch(TShooter& shooter) {
    TFormMakeBatch form;
    form.findChild<QLineEdit*>(QStringLiteral("EditParamFile"))
        ->setText(U("/home/yamada/案件/お問い合わせ.KFY"));
    shooter.Shoot(form, QStringLiteral("make_batch_project"));
    form.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(1);
    form.findChild<QLineEdit*>(QStringLiteral("EditCSVFile"))
        ->setText(U("/home/yamada/案件/お問い合わせ.csv"));
    form.findChild<TRadioGroup*>(QStringLiteral("RadioGroupSaveParam"))->SetItemIndex(1);
    form.findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"))->setChecked(true);
    shooter.Shoot(form, QStringLiteral("make_batch_csv"));
}

// The main window as a user first sees it, with the example project, and
// with its File (recent projects at the end) and Parameters menus open.
void ShootMainWindow(TShooter& shooter) {
    // Settings of their own, with a few recent projects for the File menu.
    QTemporaryDir settings;
    TAppIni appIni(settings.path().toStdString());
    for (const char* path :
         {"/home/yamada/projects/2023.KFY", "/home/yamada/projects/問い合わせ.KFY"}) {
        appIni.RecentAdd(Sj(path));
    }
    TFormMain form(appIni);
    shooter.Shoot(form, QStringLiteral("main_empty"));
    form.OpenProject(QStringLiteral(KESTRIFY_SOURCE_DIR "/examples/inquiries.KFY"));
    form.Grid()->SetCurrentRow(3);
    shooter.Shoot(form, QStringLiteral("main_example"));
    for (const char* name : {"MenuFile", "MenuParam"}) {
        auto* menu = form.findChild<QMenu*>(QString::fromLatin1(name));
        const QRect item = form.menuBar()->actionGeometry(menu->menuAction());
        menu->popup(form.menuBar()->mapToGlobal(item.bottomLeft()));
        shooter.ShootWithPopup(
            form, *menu, QStringLiteral("main_menu_") + QString::fromLatin1(name).mid(4).toLower());
        menu->hide();
    }
}

// The settings dialogs on a throw-away home, so that the association page can
// show an association without touching the real one.
void ShootSettings(TShooter& shooter) {
    QTemporaryDir home;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    {
        TAppIni ini(home.path().toStdString() + "/config/Kestrify");
        ini.SetRestoreParamFile(true);
        const QString program = QStringLiteral("/usr/bin/kestrify");
        TFormCommonSetting common(ini, program);
        auto* pages = common.findChild<QTabWidget*>(QStringLiteral("PageControl"));
        shooter.Shoot(common, QStringLiteral("settings_common_start"));
        pages->setCurrentIndex(1);
        shooter.Shoot(common, QStringLiteral("settings_common_link_none"));
        TFileAssociation().Associate(program);
        common.RefreshLinkedText();
        shooter.Shoot(common, QStringLiteral("settings_common_link_set"));
        pages->setCurrentIndex(2);
        shooter.Shoot(common, QStringLiteral("settings_common_converter"));

        TParamFormConvert geometry;
        geometry.SetKeepWindowSize(true);
        TCSVSaveParam save;
        save.SetOnlyNew(true);
        bool htmlText = true;
        TFormProjectSetting project(geometry, save, "out.csv", htmlText);
        shooter.Shoot(project, QStringLiteral("settings_project"));
        TFormClearSetting clear(ini, program);
        shooter.Shoot(clear, QStringLiteral("settings_clear"));
    }
    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("XDG_DATA_HOME", savedData);
    if (savedConfig.isEmpty()) {
        qunsetenv("XDG_CONFIG_HOME");
    }
    if (savedData.isEmpty()) {
        qunsetenv("XDG_DATA_HOME");
    }
}

void ShootAboutAndHelp(TShooter& shooter) {
    TFormAbout about;
    shooter.Shoot(about, QStringLiteral("about"));
    TBuiltInHelpService help;
    help.ShowTopic(THelpTopic::Contents);
    shooter.Shoot(*help.Window(), QStringLiteral("help_contents"));
    help.ShowTopic(THelpTopic::Parameters);
    shooter.Shoot(*help.Window(), QStringLiteral("help_parameters"));
    help.Window()->Search(U("区切り行"));
    shooter.Shoot(*help.Window(), QStringLiteral("help_search"));
    help.Quit();
}

// The main window during an automatic run, with the result window over it
// while it converts a copy of the example's mails many times over.
void ShootAutomaticRun(TShooter& shooter) {
    QTemporaryDir work;
    QTemporaryDir settings;
    TAppIni appIni(settings.path().toStdString());
    const QString source = QStringLiteral(KESTRIFY_SOURCE_DIR "/examples/");
    QFile::copy(source + QStringLiteral("inquiries.KFY"),
                work.filePath(QStringLiteral("inquiries.KFY")));
    QFile mails(source + QStringLiteral("inquiries.mbox"));
    QFile many(work.filePath(QStringLiteral("inquiries.mbox")));
    if (!mails.open(QIODevice::ReadOnly) || !many.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot copy the example mails\n");
        return;
    }
    const QByteArray five = mails.readAll();
    for (int i = 0; i < 8000; ++i) {
        many.write(five);
    }
    many.close();

    TFormMain form(appIni, {QStringLiteral("-a"), work.filePath(QStringLiteral("inquiries.KFY")),
                            work.filePath(QStringLiteral("out.csv")), QStringLiteral("0")});
    bool shot = false;
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* result = QApplication::activeModalWidget();
        // Some ticks after it appeared, so the progress has moved.
        if (shot || result == nullptr || !result->inherits("TFormConvert") || ++ticks < 20) {
            return;
        }
        shot = true;
        poll.stop();
        shooter.ShootWithPopup(form, *result, QStringLiteral("main_automatic_run"));
    });
    poll.start(5);
    form.show();
    (void)QTest::qWaitFor([&] { return !form.HasPendingAutoRun(); }, 60000);
    if (!shot) {
        std::fprintf(stderr, "the automatic run ended before it could be shown\n");
    }
}

// The parameter editor with its preview open on the example store.
void ShootParamPreview(TShooter& shooter) {
    TSettingFile project(KESTRIFY_SOURCE_DIR "/examples/inquiries.KFY");
    project.Read();
    const std::vector<TOrderedParamString> params = project.GetParams();
    const auto preview = [&](TFormParamEdit& form, int position, int mail) {
        TFormParamEdit::TPreviewSource source;
        source.mailType = project.GetMailType();
        source.location = KESTRIFY_SOURCE_DIR "/examples/inquiries.mbox";
        for (const TOrderedParamString& p : params) {
            source.params.Add(p);
        }
        source.position = position;
        form.SetParam(params.at(static_cast<std::size_t>(position)));
        form.SetPreviewSource(source);
        form.show();
        form.SetPreviewOpen(true);
        auto* number = form.findChild<QSpinBox*>(QStringLiteral("EditMailNumber"));
        (void)QTest::qWaitFor([&] { return number->maximum() > mail; }, 10000);
        number->setValue(mail + 1);
        (void)QTest::qWaitFor(
            [&] {
                return form.PreviewPanel()->MailIndex() == mail &&
                       form.PreviewPanel()->ValueText() != "";
            },
            10000);
        QTest::qWait(300);
    };
    {
        TFormParamEdit form;
        preview(form, 4, 1);  // お名前 on a Shift_JIS form mail
        shooter.Shoot(form, QStringLiteral("param_preview_form_mail"));
    }
    {
        TFormParamEdit form;
        preview(form, 9, 4);  // お問い合わせ内容, several lines up to its end string
        shooter.Shoot(form, QStringLiteral("param_preview_multi_line"));
    }
    {
        TFormParamEdit form;
        preview(form, 7, 0);  // the telephone number by a regular expression
        auto* key = form.findChild<QComboBox*>(QStringLiteral("EditKey"));
        key->setEditText(key->currentText() + u'(');
        (void)QTest::qWaitFor([&] { return form.PreviewPanel()->ValueText().isEmpty(); }, 10000);
        QTest::qWait(300);
        shooter.Shoot(form, QStringLiteral("param_preview_regex_error"));
    }
}

// The example project's five mails, repeated `count` times over; mails from
// `pauseAt` on wait until Resume(), so a picture can catch the conversion
// half-way.
class TRepeatedExample : public TBasicMailParser {
  public:
    TRepeatedExample(int count, int pauseAt)
        : inner_(TMailStoreFactory::Create(
              TMailStoreFactory::MboxFile,
              TQtText::ToSjis(QStringLiteral(KESTRIFY_SOURCE_DIR "/examples/inquiries.mbox")))),
          count_(count),
          pauseAt_(pauseAt),
          innerCount_(inner_->GetCount()) {}
    ~TRepeatedExample() override { Resume(); }

    int GetCount() override { return count_; }
    std::unique_ptr<TBasicMail> GetMail(int index) override {
        if (index >= pauseAt_) {
            std::unique_lock lock(mutex_);
            resumed_.wait(lock, [this] { return resume_; });
        }
        return inner_->GetMail(index % innerCount_);
    }
    void Resume() {
        {
            std::lock_guard lock(mutex_);
            resume_ = true;
        }
        resumed_.notify_all();
    }

  private:
    std::unique_ptr<TBasicMailParser> inner_;
    const int count_;
    const int pauseAt_;
    const int innerCount_;
    std::mutex mutex_;
    std::condition_variable resumed_;
    bool resume_ = false;
};

std::unique_ptr<TCSVConverter> ExampleConverter(std::unique_ptr<TBasicMailParser> reader) {
    TSettingFile project(
        TQtText::ToSjis(QStringLiteral(KESTRIFY_SOURCE_DIR "/examples/inquiries.KFY")));
    project.Read();
    return std::make_unique<TCSVConverter>(std::move(reader),
                                           std::make_unique<TConvertParam>(project.GetParams()));
}

// The result window half-way through a long conversion, finished with the
// example's Japanese rows (some of several lines), the question after a
// failed mail, and the question before an existing CSV file is replaced.
void ShootResultWindow(TShooter& shooter) {
    TParamFormConvert geometry;
    {
        auto reader = std::make_unique<TRepeatedExample>(20000, 7342);
        TRepeatedExample* paused = reader.get();
        TFormConvert form(nullptr, ExampleConverter(std::move(reader)), geometry);
        form.resize(760, 420);
        form.show();
        QTest::qWait(400);
        shooter.Shoot(form, QStringLiteral("result_converting"));
        form.BtnCloseClick();
        paused->Resume();
        for (int i = 0; i < 200 && !form.Report().ended; ++i) {
            QTest::qWait(10);
        }
        // A stopped table says so, with how many of how many mails it holds.
        shooter.Shoot(form, QStringLiteral("result_stopped"));
    }
    {
        TFormConvert form(nullptr, ExampleConverter(std::make_unique<TRepeatedExample>(5, 5)),
                          geometry);
        form.resize(860, 420);
        form.show();
        QTest::qWait(300);
        form.Grid()->setCurrentIndex(form.Grid()->model()->index(1, 2));
        form.Grid()->setFocus();
        shooter.Shoot(form, QStringLiteral("result_finished"));
    }
    {
        const QString text = TQtText::FromSjis(TConvertMessages::MailError(
            20000, 7343, Sj("メールの読み込みに失敗しました。"), false));
        TMessageDialog box(nullptr, text, TMsgKind::Error, TMsgButtons::YesNoHelp,
                           THelpTopic::ConvertResult);
        shooter.Shoot(box, QStringLiteral("result_mail_error"));
    }
    {
        TFormSaveCSVDialog dialog;
        dialog.SetFileName(U("/home/yamada/案件/お問い合わせ.csv"));
        dialog.SetMakeBackup(true);
        dialog.SetSaveType(1);
        shooter.Shoot(dialog, QStringLiteral("result_overwrite"));
    }
}

// The IMAP connection dialog with the folders a server listed; the user's
// keyring is never asked.
void ShootImapConnect(TShooter& shooter) {
    class TNoKeyring : public TImapKeyring {
      public:
        TRead Read(const QString&) override { return {}; }
        QString Write(const QString&, const QString&) override { return {}; }
        QString Remove(const QString&) override { return {}; }
    } keyring;
    const TImapKeyringScope scope(keyring);
    TImapConnectDialog dialog(nullptr, U("imaps://yamada%40example.co.jp@imap.example.co.jp/INBOX"),
                              QString());
    TImapFolderTree::Fill(*dialog.Tree(),
                          {{"INBOX", '/', true, ""},
                           {"INBOX/お問い合わせ", '/', true, ""},
                           {"仕事", '/', false, ""},
                           {"仕事/注文", '/', true, ""},
                           {"送信済み", '/', true, ""}},
                          U("INBOX/お問い合わせ"));
    shooter.Shoot(dialog, QStringLiteral("imap_connect"));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // kestrify_screenshots [FOLDER [FONT_PIXELS]]: a larger font shows what
    // would be clipped.
    TAppLook::Apply(argc > 2 ? std::atoi(argv[2]) : TAppLook::DefaultPixelSize);
    if (!QFontDatabase::families().contains(QString::fromLatin1(TAppLook::FallbackFontFamily()))) {
        std::fprintf(stderr, "%s font missing: Japanese text may not show\n",
                     TAppLook::FallbackFontFamily());
    }

    TShooter shooter(argc > 1 ? QString::fromLocal8Bit(argv[1])
                              : QStringLiteral("build/screenshots"));
    ShootParamEdit(shooter);
    ShootSpaceParamEdit(shooter);
    ShootParamOrder(shooter);
    ShootParamGrid(shooter);
    ShootStringGrid(shooter);
    ShootHistoryCombo(shooter);
    ShootMessages(shooter);
    ShootMakeBatch(shooter);
    ShootFileDialog(shooter);
    ShootImapConnect(shooter);
    ShootMainWindow(shooter);
    ShootSettings(shooter);
    ShootAboutAndHelp(shooter);
    ShootAutomaticRun(shooter);
    ShootParamPreview(shooter);
    ShootResultWindow(shooter);
    std::printf("%d pictures\n", shooter.Count());
    return shooter.Count() > 0 ? 0 : 1;
}
