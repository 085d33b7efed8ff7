#include "TCliJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#include "TCsvStream.h"
#include "TImapSecret.h"
#include "TStopSignal.h"
#include "TUsageError.h"
#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TCSVConverter.h"
#include "convert/TConvertLoop.h"
#include "convert/TConvertMessages.h"
#include "convert/TCsvFile.h"
#include "mail/TMailStoreCheck.h"
#include "mail/TMailStoreFactory.h"
#include "mail/TStoreKind.h"
#include "params/TGridParamList.h"
#include "settings/TAutoExexParam.h"
#include "settings/TFileErrors.h"
#include "state/TOutputChanged.h"
#include "state/TRecordDamaged.h"

namespace {

// The parameters as the main window's grid holds them: the search order is
// the list position, whatever the file said.
std::vector<TOrderedParamString> InListOrder(const std::vector<TOrderedParamString>& params) {
    TGridParamList list;
    for (const TOrderedParamString& p : params) {
        list.Add(p);
    }
    std::vector<TOrderedParamString> ordered;
    for (int i = 0; i < list.Count(); ++i) {
        ordered.push_back(list.Get(i));
    }
    return ordered;
}

std::string ErrorText(const std::exception& e) {
    const std::string text = e.what();
    return text.empty() ? TSjisUnicode::FromUtf8("原因不明のエラーです。") : text;
}

// "…のようです" advice for what a misnamed store looks like.
std::string LooksLike(std::optional<int> guess) {
    if (!guess) {
        return "";
    }
    if (*guess == TMailStoreCheck::LooksLikeProject) {
        return "プロジェクトファイルのようです。 (it looks like a project file)";
    }
    if (*guess == TMailStoreCheck::LooksLikeOneMail) {
        return "メールファイル 1 通のようです。そのフォルダを --mail-type 0 で指定してください。 "
               "(it "
               "looks like one mail file: give its folder with --mail-type 0)";
    }
    const std::string type = std::to_string(*guess);
    const TStoreKind& kind = TStoreKind::Get(*guess);
    return std::string(kind.names.name) + "のようです: --mail-type " + type + " (it looks like " +
           kind.names.english + ": --mail-type " + type + ")";
}

// A byte-order mark of UTF-16, or ASCII text with a zero byte beside each
// character.
bool IsUtf16(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char start[4] = {};
    if (!in.read(start, sizeof start)) {
        return false;
    }
    const auto byte = [&](int i) { return static_cast<unsigned char>(start[i]); };
    return (byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) ||
           (byte(0) != 0 && byte(1) == 0 && byte(2) != 0 && byte(3) == 0) ||
           (byte(0) == 0 && byte(1) != 0 && byte(2) == 0 && byte(3) != 0);
}

bool EndsWith(const std::string& name, std::string_view extension) {
    if (name.size() < extension.size()) {
        return false;
    }
    return sjis::EqualsNoCase(std::string_view(name).substr(name.size() - extension.size()),
                              extension);
}

}  // namespace

int TCliJob::Run() {
    const TStopSignal::TRelay relay(stop_);  // a signal asks the run's stop
    try {
        projectPath_ = SjisPath(options_.project);
        TSettingFile project(projectPath_);
        if (!OpenProject(project)) {
            return TExitStatus::BadInput;
        }
        ApplyOverrides(project, location_, save_);
        // Settled before the mails are read: a bad name fails at once.
        target_ = Target(save_);
        project_ = &project;
        TConversionJob job(Request(project), *this, stop_.get_token());
        if (options_.forget) {
            return job.OutputAllowed() ? Forget() : TExitStatus::BadInput;
        }
        if (!target_ && IsWorkbook(target_) && isatty(fileno(stdout)) == 1) {
            terminal_.Message(
                "Excel ブックは端末に出力できません。出力ファイルを指定してください。 (a "
                "workbook cannot go to a terminal: give OUTPUT)");
            return TExitStatus::BadInput;
        }
        return job.Run();
    } catch (const TUsageError& e) {
        terminal_.Message(e.what());
        return TExitStatus::BadInput;
    }
}

bool TCliJob::OpenProject(TSettingFile& project) {
    std::error_code ec;
    const std::filesystem::path path = TSjisUnicode::ToPath(projectPath_);
    if (!std::filesystem::exists(path, ec)) {
        // The window would open an empty project and then miss its
        // parameters; on a command line the name is far more likely mistyped.
        terminal_.Message(options_.project + ": ファイルが見つかりませんでした。");
        return false;
    }
    try {
        if (std::filesystem::is_directory(path, ec)) {
            throw TFileErrors::CannotRead(path);
        }
        project.Read();
    } catch (const std::bad_alloc&) {
        throw;  // said once, with its own status
    } catch (const std::exception& e) {
        terminal_.MessageSjis(ErrorText(e));
        return false;
    }
    if (!project.HasProjectSection()) {
        terminal_.Message(options_.project +
                          (IsUtf16(path) ? ": UTF-16 のファイルです。Shift_JIS か UTF-8 で保存し"
                                           "てください。 (the file is UTF-16: Shift_JIS or UTF-8 "
                                           "is expected)"
                                         : ": プロジェクトファイルではありません。 (not a project "
                                           "file)"));
        return false;
    }
    if (project.WasUtf8() && !options_.quiet) {
        terminal_.Message(options_.project +
                          ": UTF-8 のファイルとして読み込みました。 (read as UTF-8)");
    }
    for (const std::string& error : project.GetRangeErrors()) {
        terminal_.Message(options_.project + ": " + TSjisUnicode::ToUtf8(error));
    }
    return project.GetRangeErrors().empty();
}

void TCliJob::ApplyOverrides(TSettingFile& project, std::string& location,
                             TCSVSaveParam& save) const {
    if (options_.mailType) {
        project.SetMailType(*options_.mailType);
    }
    // An IMAP store's location is a URL, not a path from the project's folder.
    const bool remote = TMailStoreFactory::IsRemoteType(project.GetMailType());
    location = options_.location ? SjisPath(*options_.location)
               : remote          ? project.GetDirectory()
                                 : FromProjectFolder(project.GetDirectory());
    if (options_.caFile) {
        project.SetImapCaFile(SjisPath(*options_.caFile));
    } else if (!project.GetImapCaFile().empty()) {
        project.SetImapCaFile(FromProjectFolder(project.GetImapCaFile()));
    }
    save = project.GetCSVSaveParam();
    if (options_.saveType) {
        save.SetSaveType(static_cast<std::uint8_t>(*options_.saveType));
    }
    if (options_.makeBackup) {
        save.SetMakeBackup(*options_.makeBackup);
    }
}

TCliJob::TTarget TCliJob::Target(const TCSVSaveParam& save) const {
    if (options_.output) {
        if (*options_.output == "-") {
            return std::nullopt;
        }
        return SjisPath(*options_.output);
    }
    if (save.GetSaveFileName().empty()) {
        return std::nullopt;
    }
    // A project may come from someone else: its name alone must not choose
    // a file such as ~/.bashrc to overwrite, not even through a link.
    const std::string name = FromProjectFolder(save.GetSaveFileName());
    const std::filesystem::path path = TSjisUnicode::ToPath(name);
    std::error_code ec;
    std::filesystem::path final = path;
    if (std::filesystem::is_symlink(path, ec)) {
        final = std::filesystem::canonical(path, ec);
        if (ec) {
            throw TUsageError(options_.project + ": SAVEFILENAME のリンク先がありません: " +
                              TSjisUnicode::ToUtf8(name) +
                              "\n出力ファイルを指定してください。 (SAVEFILENAME is a link to "
                              "nothing: give OUTPUT)");
        }
    }
    const auto allowed = [](const std::string& file) {
        return EndsWith(file, ".csv") || EndsWith(file, ".xlsx");
    };
    if (allowed(save.GetSaveFileName()) && !allowed(final.filename().string())) {
        throw TUsageError(options_.project +
                          ": SAVEFILENAME はリンクで、リンク先が .csv か .xlsx "
                          "のファイルではないため使いません: " +
                          TSjisUnicode::ToUtf8(name) + " -> " +
                          TSjisUnicode::ToUtf8(TSjisUnicode::FromPath(final)) +
                          "\n出力ファイルを指定してください。 (SAVEFILENAME is a link to a file "
                          "that is no .csv or .xlsx: give OUTPUT)");
    }
    if (!allowed(save.GetSaveFileName())) {
        throw TUsageError(options_.project +
                          ": SAVEFILENAME が .csv か .xlsx で終わらないため使いません: " +
                          TSjisUnicode::ToUtf8(save.GetSaveFileName()) +
                          "\n出力ファイルを指定してください。 (SAVEFILENAME does not end in .csv "
                          "or .xlsx: give OUTPUT)");
    }
    return name;
}

TConversionRequest TCliJob::Request(TSettingFile& project) {
    TConversionRequest request;
    request.params = InListOrder(project.GetParams());
    request.mailType = project.GetMailType();
    request.location = location_;
    request.project = projectPath_;
    request.output = target_;
    request.makeBackup = save_.GetMakeBackup();
    request.onlyNew = options_.onlyNew.value_or(save_.GetOnlyNew());
    request.onlyNewOutput = target_.value_or("");
    request.threads = Threads();
    request.mailOptions.warning = [this](const std::string& message) { host_.Warning(message); };
    request.mailOptions.htmlText = project.Project().htmlText;
    return request;
}

void TCliJob::Refused(const TJobRefusal& refusal) {
    switch (refusal.step) {
        case TJobRefusal::TStep::Params:
            terminal_.MessageSjis(refusal.message);
            break;
        case TJobRefusal::TStep::Location:
            terminal_.Message(TSjisUnicode::ToUtf8(refusal.reason) + ": " + ShownLocation());
            break;
        case TJobRefusal::TStep::StoreKind:
            terminal_.Message(NotOfKind(refusal));
            break;
        case TJobRefusal::TStep::Output:
            terminal_.Message(TSjisUnicode::ToUtf8(refusal.message) + " (" + refusal.english + ")");
            break;
        case TJobRefusal::TStep::OnlyNewOutput:
            // Standard output has no file to remember the mails for.
            terminal_.Message(
                "新しいメールだけを変換するには出力ファイルが必要です。--all ですべて変換します。 "
                "(converting only new mail needs an output file; --all converts every mail)");
            break;
    }
}

std::string TCliJob::ShownLocation() const {
    return location_.empty() ? "\"\"" : TSjisUnicode::ToUtf8(location_);
}

std::string TCliJob::NotOfKind(const TJobRefusal& refusal) const {
    const TStoreKind& kind = TStoreKind::Get(project_->GetMailType());
    const std::string advice = LooksLike(refusal.looksLike);
    return ShownLocation() + ": " + kind.names.name + "ではないようです。 (not " +
           kind.names.english + ")" + (advice.empty() ? "" : "\n" + advice);
}

void TCliJob::Failed(const std::exception& error) {
    terminal_.MessageSjis(ErrorText(error));
    if (dynamic_cast<const TOutputChanged*>(&error) != nullptr) {
        terminal_.Message(
            "CSV ファイルを元に戻すか、--forget で変換済みメールの記録を消してください (次の実行"
            "ですべてのメールを変換し直します)。 (the CSV was cut or replaced since the last run: "
            "restore it, or clear the record with --forget)");
    }
}

void TCliJob::RegexUnusable(const TParamCheck::TRegexError& error,
                            const TOrderedParamString& param) {
    terminal_.Message(
        error.key + " (" + TSjisUnicode::ToUtf8(param.GetFieldName()) +
        ") の正規表現を使えません。この列は空になります: " + TSjisUnicode::ToUtf8(error.message) +
        " (the regular expression does not compile; its column stays empty)");
}

int TCliJob::Stopped() {
    // As a stopped automatic run: nothing is saved.
    terminal_.Message("中断しました。CSV は保存していません。 (interrupted, nothing saved)");
    return TExitStatus::AfterSignal(TStopSignal::Received());
}

TImapAccess TCliJob::StoreAccess() {
    return ImapAccess(*project_);
}

int TCliJob::Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) {
    TCSVSaveParam saveAs = save_;
    if (onlyNew != nullptr) {
        saveAs.SetSaveType(static_cast<std::uint8_t>(onlyNew->SaveType()));
    }
    const std::string shownTarget = target_ ? TSjisUnicode::ToUtf8(*target_) : "-";
    // Rows go to a spool as they are made, not to a table: memory does not
    // grow with the CSV.
    const TResultTable titles(converter->GetFieldNames());
    // A workbook stores every cell as text: no formula guard is needed there.
    TCsvSpool rows(titles.ColumnCount() - 1, options_.safeCells && !IsWorkbook(target_));
    if (!rows.IsOpen()) {
        host_.SetTarget(shownTarget);
        host_.ReportSaveFailure(TConvertMessages::SaveFailed(rows.Error()));
        return TExitStatus::WriteFailed;
    }
    // A target replaced by rename takes the rows as they are made.
    std::optional<TCsvFile> file;
    if (target_) {
        file.emplace(titles, host_, CsvOptions(), &rows);
        file->StreamRowsTo(*target_, saveAs.GetSaveType());
    }
    TConvertLoop loop(*converter, rows, host_);
    loop.SetThreads(Threads());
    const TConvertOutcome outcome = loop.Run(stop_.get_token());
    host_.Finish();
    skippedEntries_ = converter->SkippedEntries();
    converter.reset();  // the store is closed before the CSV is written
    if (outcome.end == TConvertOutcome::TEnd::Failed) {
        terminal_.MessageSjis(outcome.message);
        return TExitStatus::BadInput;
    }
    if (outcome.end == TConvertOutcome::TEnd::Stopped) {
        return Stopped();
    }
    if (!rows.Finish()) {
        if (TStopSignal::Requested()) {
            return Stopped();  // the streamed file was given up, the old CSV stays
        }
        host_.SetTarget(shownTarget);
        host_.ReportSaveFailure(TConvertMessages::SaveFailed(rows.Error()));
        return TExitStatus::WriteFailed;
    }
    int status = TExitStatus::AfterSave(host_.FailedMails());
    if (onlyNew != nullptr && !onlyNew->NeedsSave(rows.RowCount())) {
        onlyNew->Stage(0);  // nothing new: the CSV is left as it is
        onlyNew->Commit();
    } else {
        status = Save(titles, rows, file, saveAs, onlyNew);
    }
    if (onlyNew == nullptr && target_ && saveAs.GetSaveType() == TCsvFile::Overwrite &&
        status != TExitStatus::WriteFailed) {
        TOnlyNewRun::Overwritten(*target_);
    }
    if ((status == TExitStatus::Success || status == TExitStatus::MailsFailed) && !options_.quiet) {
        Summary(outcome.converted + host_.FailedMails(), rows.RowCount(), host_.FailedMails(),
                onlyNew);
    }
    return status;
}

void TCliJob::Summary(int mails, int rows, int failed, const TOnlyNewRun* onlyNew) const {
    std::string output = "標準出力 (standard output)";
    std::string backup = "なし (none)";
    if (target_) {
        output = TSjisUnicode::ToUtf8(*target_);
        if (backupMade_) {
            backup = TSjisUnicode::ToUtf8(TCsvFile::BackupFileName(*target_));
        }
    }
    terminal_.Message("完了: メール " + std::to_string(mails) + " 通を読み、" +
                      std::to_string(rows) + " 行を書きました。エラー " + std::to_string(failed) +
                      " 通。出力: " + output + "、バックアップ: " + backup +
                      " (done: " + std::to_string(mails) + " mails read, " + std::to_string(rows) +
                      " rows written, " + std::to_string(failed) + " failed)");
    if (skippedEntries_ > 0) {
        const std::string entries = std::to_string(skippedEntries_);
        terminal_.MessageSjis(TConvertMessages::SkippedEntries(skippedEntries_) + " (" + entries +
                              " entries that are no mail files were skipped)");
    }
    if (onlyNew != nullptr) {
        const std::string skipped = std::to_string(onlyNew->Skipped());
        terminal_.Message("変換済みのメール " + skipped + " 通を飛ばしました。 (" + skipped +
                          " mails already converted were skipped)");
    }
}

int TCliJob::Save(const TResultTable& titles, TCsvSpool& rows, std::optional<TCsvFile>& file,
                  const TCSVSaveParam& save, TOnlyNewRun* onlyNew) {
    int status = TExitStatus::WriteFailed;
    if (onlyNew != nullptr) {
        try {
            onlyNew->Stage(rows.RowCount());
        } catch (const TKestrifyError& e) {
            terminal_.MessageSjis(ErrorText(e));
            return TExitStatus::WriteFailed;
        }
    }
    status = Write(titles, rows, file, save);
    if (onlyNew != nullptr) {
        // The rows are in the file (synced) before the record says so.
        try {
            if (status == TExitStatus::WriteFailed) {
                onlyNew->Drop();
            } else {
                onlyNew->Commit();
            }
        } catch (const TKestrifyError& e) {
            // Settled by the next run from the file itself.
            terminal_.MessageSjis(ErrorText(e));
        }
    }
    if (!stop_.stop_requested()) {
        return status;
    }
    // A stop before the save's point of no return saved nothing; one after
    // it let the save finish, and the status says the CSV is there (a
    // scheduler that retries on 128 + signal must not add the rows twice).
    if (status == TExitStatus::WriteFailed) {
        return Stopped();
    }
    terminal_.Message(
        "中断の指示は保存の完了後に届きました。CSV は保存済みです。 "
        "(the stop came too late: the CSV was saved)");
    return status;
}

TExitStatus::TCode TCliJob::Write(const TResultTable& titles, TCsvSpool& rows,
                                  std::optional<TCsvFile>& file, const TCSVSaveParam& save) {
    if (stop_.stop_requested()) {
        return TExitStatus::WriteFailed;
    }
    if (!target_ && IsWorkbook(target_)) {
        TWorkbookFile workbook(titles, host_, CsvOptions().sheetName, &rows, stop_.get_token());
        if (!TCsvStream::WriteWorkbook(workbook, stdout, stop_.get_token())) {
            if (stop_.stop_requested()) {
                return TExitStatus::WriteFailed;
            }
            host_.SetTarget("-");
            host_.ReportSaveFailure(workbook.Failure().empty()
                                        ? TConvertMessages::SaveFailed(workbook.Error())
                                        : workbook.Failure());
            return TExitStatus::WriteFailed;
        }
        return TExitStatus::AfterSave(host_.FailedMails());
    }
    if (!target_) {
        TCsvOptions streamOptions = CsvOptions();
        if (!options_.encodingGiven && isatty(fileno(stdout)) == 1) {
            streamOptions.utf8 = true;  // a terminal shows UTF-8; pipes and files get the bytes
        }
        if (!TCsvStream::Write(titles, stdout, save.GetSaveType(), streamOptions, &rows)) {
            if (stop_.stop_requested()) {
                return TExitStatus::WriteFailed;
            }
            host_.SetTarget("-");
            host_.ReportSaveFailure(TSjisUnicode::FromUtf8("ファイルの保存に失敗しました。"));
            return TExitStatus::WriteFailed;
        }
        return TExitStatus::AfterSave(host_.FailedMails());
    }
    TAutoExexParam run;
    run.SetParamFile(projectPath_);
    run.SetCsvFile(*target_);
    run.SetSaveType(save.GetSaveType());
    run.SetMakeBackup(save.GetMakeBackup());
    host_.SetTarget(TSjisUnicode::ToUtf8(*target_));
    if (!file) {
        file.emplace(titles, host_, CsvOptions(), &rows);
    }
    if (!file->SaveAutomatic(run)) {
        return TExitStatus::WriteFailed;
    }
    backupMade_ = file->BackupMade();
    return TExitStatus::AfterSave(host_.FailedMails());
}

int TCliJob::Forget() {
    if (!target_) {
        terminal_.Message("--forget には出力ファイルが必要です。 (--forget needs an output file)");
        return TExitStatus::BadInput;
    }
    try {
        const bool had = TOnlyNewRun::Forget(*target_);
        if (!options_.quiet) {
            terminal_.Message(TSjisUnicode::ToUtf8(*target_) +
                              (had ? ": 変換済みメールの記録を消しました。 (the record of "
                                     "converted mails was cleared)"
                                   : ": 変換済みメールの記録はありません。 (no record of "
                                     "converted mails)"));
        }
        return TExitStatus::Success;
    } catch (const TRecordDamaged& e) {
        terminal_.MessageSjis(ErrorText(e));  // moved aside: nothing is left to forget
        return TExitStatus::Success;
    } catch (const TKestrifyError& e) {
        terminal_.MessageSjis(ErrorText(e));
        return TExitStatus::WriteFailed;
    }
}

TCsvOptions TCliJob::CsvOptions() const {
    TCsvOptions csv{options_.utf8, options_.byteOrderMark, options_.safeCells};
    csv.format = options_.format == TCliOptions::TFormat::Xlsx  ? TCsvOptions::TFormat::Workbook
                 : options_.format == TCliOptions::TFormat::Csv ? TCsvOptions::TFormat::Csv
                                                                : TCsvOptions::TFormat::ByName;
    // The sheet is named after the project file, as the window names it.
    csv.sheetName = TSjisUnicode::FromPath(TSjisUnicode::ToPath(projectPath_).stem());
    csv.stop = stop_.get_token();
    return csv;
}

bool TCliJob::IsWorkbook(const TTarget& target) const {
    if (options_.format != TCliOptions::TFormat::ByName) {
        return options_.format == TCliOptions::TFormat::Xlsx;
    }
    return target && TWorkbookFile::IsWorkbookName(*target);
}

TImapAccess TCliJob::ImapAccess(const TSettingFile& project) const {
    TImapAccess access;
    if (!TMailStoreFactory::IsRemoteType(project.GetMailType())) {
        return access;
    }
    access.secret = TImapSecret::Find(options_.passwordFile, TSjisUnicode::ToUtf8(location_));
    if (access.secret.empty()) {
        throw TUsageError(
            "IMAP のパスワードがありません。デスクトップのキーリングにもないため、環境変数 " +
            std::string(TImapSecret::kEnvironmentName) +
            " か --password-file で渡してください。 (no IMAP password in the keyring: set " +
            TImapSecret::kEnvironmentName + " or give --password-file)");
    }
    if (!project.GetImapCaFile().empty()) {
        access.caFile = TSjisUnicode::ToPath(project.GetImapCaFile()).native();
    }
    return access;  // the job adds the run's stop
}

std::string TCliJob::FromProjectFolder(const std::string& sjisPath) const {
    const std::filesystem::path path = TSjisUnicode::ToPath(sjisPath);
    if (sjisPath.empty() || path.is_absolute()) {
        return sjisPath;
    }
    const std::filesystem::path folder = TSjisUnicode::ToPath(projectPath_).parent_path();
    return TSjisUnicode::FromPath(folder / path);
}

std::string TCliJob::SjisPath(const std::string& utf8Path) {
    std::string sjis = TSjisUnicode::FromUtf8(utf8Path);
    if (TSjisUnicode::ToUtf8(sjis) != utf8Path) {
        throw TUsageError(utf8Path +
                          ": Shift_JIS で表せない文字を含むパスは使えません。 (the path holds "
                          "characters that Shift_JIS cannot)");
    }
    return sjis;
}

int TCliJob::Threads() const {
    if (options_.jobs > 0) {
        return options_.jobs;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, TCliOptions::MaxJobs));
}
