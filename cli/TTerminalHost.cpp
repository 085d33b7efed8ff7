#include "TTerminalHost.h"

#include "codeconv/TSjisUnicode.h"
#include "convert/TConvertMessages.h"

void TTerminalHost::ConvertStarted(int count, bool multiLine) {
    (void)multiLine;
    if (ShowsProgress()) {
        const auto now = TProgressBar::TClock::now();
        progress_.emplace(count, now);
        progress_->Due(0, now);
        terminal_.Status(progress_->Text(0, now, terminal_.Width()));
    }
}

void TTerminalHost::MailConverted(int position, int count) {
    (void)count;
    if (!progress_) {
        return;
    }
    const auto now = TProgressBar::TClock::now();
    if (progress_->Due(position, now)) {
        terminal_.Status(progress_->Text(position, now, terminal_.Width()));
    }
}

bool TTerminalHost::ContinueAfterError(const TConvertError& error) {
    ++failedMails_;
    std::string text = error.regexError ? TSjisUnicode::FromUtf8("正規表現エラー: ") : "";
    text += TConvertMessages::LoopError(error.count, error.mailNumber, error.message);
    terminal_.MessageSjis(text);
    return !answers_.stopOnError;
}

bool TTerminalHost::ConfirmBackupFailure(const std::string& message) {
    backupFailed_ = true;
    std::string text = target_ + ": " + TSjisUnicode::ToUtf8(FirstLine(message));
    if (answers_.force) {
        text += " (--force: 保存を続けます / saving anyway)";
    }
    terminal_.Message(text);
    return answers_.force;
}

void TTerminalHost::ReportSaveFailure(const std::string& message) {
    terminal_.Message(target_ + ": " + TSjisUnicode::ToUtf8(message));
}

void TTerminalHost::Warning(const std::string& sjisMessage) {
    if (!answers_.quiet) {
        terminal_.Message("警告: " + TSjisUnicode::ToUtf8(sjisMessage));
    }
}

void TTerminalHost::Finish() {
    progress_.reset();
    terminal_.ClearStatus();
}

std::string TTerminalHost::FirstLine(const std::string& sjisMessage) {
    // '\n' is never the second byte of a Shift_JIS character.
    return sjisMessage.substr(0, sjisMessage.find('\n'));
}
