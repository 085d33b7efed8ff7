#include "convert/TConvertMessages.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "codeconv/TSjisUnicode.h"

namespace {

std::string ErrorAt(int count, int mailNumber, const std::string& message) {
    static const std::string of = TSjisUnicode::FromUtf8("中");
    static const std::string failed =
        TSjisUnicode::FromUtf8("番目のメールでエラーが発生しました。\n");
    std::string text = std::to_string(count);
    text.append(of).append(std::to_string(mailNumber)).append(failed).append(message);
    return text;
}

}  // namespace

std::string TConvertMessages::MailError(int count, int mailNumber, const std::string& message,
                                        bool regexError) {
    static const std::string regex = TSjisUnicode::FromUtf8("正規表現エラー\n");
    static const std::string question = TSjisUnicode::FromUtf8(
        "\n\n処理を続行しますか？(続行するときは「はい」、終了するときは「いいえ」)");
    std::string text = regexError ? regex : std::string();
    text.append(ErrorAt(count, mailNumber, message)).append(question);
    return text;
}

std::string TConvertMessages::LoopError(int count, int mailNumber, const std::string& message) {
    return ErrorAt(count, mailNumber, message);
}

std::string TConvertMessages::Progress(int position, int count) {
    std::string text = "(";
    text.append(std::to_string(position)).append("/").append(std::to_string(count)).append(")");
    return text;
}

std::string TConvertMessages::Finished() {
    return TSjisUnicode::FromUtf8("変換処理を終了しました。");
}

std::string TConvertMessages::FinishedRows(int rows) {
    return Finished() + Grouped(rows) + TSjisUnicode::FromUtf8(" 通を表にしました。");
}

std::string TConvertMessages::Stopped(int count, int rows) {
    return TSjisUnicode::FromUtf8("変換を中止しました。") + Grouped(count) +
           TSjisUnicode::FromUtf8(" 通のうち ") + Grouped(rows) +
           TSjisUnicode::FromUtf8(" 通を表にしました。");
}

std::string TConvertMessages::SkippedEntries(int entries) {
    return TSjisUnicode::FromUtf8("メールとして読めないエントリ ") + Grouped(entries) +
           TSjisUnicode::FromUtf8(
               " 件を飛ばしました (ストアの外へのリンク、フォルダ、FIFO、デバイスなど)。"
               "読むには、ストアの中に普通のファイルとして置いてください。");
}

std::string TConvertMessages::Grouped(long long number) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<std::size_t>(i), ",");
    }
    return number < 0 ? "-" + digits : digits;
}

std::string TConvertMessages::Saved() {
    return TSjisUnicode::FromUtf8("保存しました。");
}

std::string TConvertMessages::SaveFailed() {
    return TSjisUnicode::FromUtf8("ファイルの保存に失敗しました。");
}

std::string TConvertMessages::SaveFailed(int error) {
    if (error == 0) {
        return SaveFailed();
    }
    std::string text = SaveFailed() + "\n";
    if (error == EISDIR) {
        text += TSjisUnicode::FromUtf8("保存先がフォルダです。 ");
    }
    // The system's own words, untranslated: ASCII, so valid Shift_JIS.
    const char* reason = ::strerrordesc_np(error);
    return text + "(" + (reason != nullptr ? reason : "error " + std::to_string(error)) + ")";
}

std::string TConvertMessages::BackupFailed() {
    return TSjisUnicode::FromUtf8("バックアップファイルの作成に失敗しました。\n処理を続けますか？");
}

std::string TConvertMessages::UnknownError() {
    return TSjisUnicode::FromUtf8("原因不明のエラーです。");
}
