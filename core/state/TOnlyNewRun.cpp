#include "state/TOnlyNewRun.h"

#include <sys/stat.h>

#include "codeconv/TSjisUnicode.h"
#include "state/TNewMailReader.h"
#include "state/TOutputChanged.h"

namespace {

bool HasText(const std::string& sjisPath) {
    struct stat info {};
    return ::stat(TSjisUnicode::ToPath(sjisPath).c_str(), &info) == 0 && info.st_size > 0;
}

}  // namespace

TOnlyNewRun::TOnlyNewRun(const std::string& sjisOutput, const std::stop_token& stop)
    : output_(sjisOutput),
      record_(TOnlyNewRecord::DefaultDatabase(), TSjisUnicode::ToPath(sjisOutput), stop) {
    switch (record_.OutputState()) {
        case TOnlyNewRecord::TOutputState::Kept:
            return;
        case TOnlyNewRecord::TOutputState::Cut:
            throw TOutputChanged(
                sjisOutput +
                TSjisUnicode::FromUtf8(": 前回の変換の後で CSV ファイルが短くなったか、前回の"
                                       "最後の行が変わっています。壊れた行に追加しないよう、"
                                       "変換しませんでした。"));
        case TOnlyNewRecord::TOutputState::Replaced:
            throw TOutputChanged(
                sjisOutput +
                TSjisUnicode::FromUtf8(": 前回の変換の後で CSV ファイルが作り直され、前回までの"
                                       "行で始まっていません。同じ行を二度追加しないよう、変換"
                                       "しませんでした。"));
    }
}

std::unique_ptr<TBasicMailParser> TOnlyNewRun::Choose(std::unique_ptr<TBasicMailParser> store,
                                                      int mailType,
                                                      const std::string& sjisLocation) {
    selection_ = TNewMailSelector::Select(*store, mailType, sjisLocation, record_);
    return std::make_unique<TNewMailReader>(std::move(store), selection_.indexes);
}

int TOnlyNewRun::SaveType() const {
    return HasText(output_) ? 1 : 0;
}

bool TOnlyNewRun::NeedsSave(int rows) const {
    return rows > 0 || !HasText(output_);
}

bool TOnlyNewRun::Forget(const std::string& sjisOutput) {
    return TOnlyNewRecord::Forget(TOnlyNewRecord::DefaultDatabase(),
                                  TSjisUnicode::ToPath(sjisOutput));
}

void TOnlyNewRun::Overwritten(const std::string& sjisOutput) {
    try {
        Forget(sjisOutput);
    } catch (const std::exception&) {
        // The record stays; a file replaced by renaming is told apart anyway.
    }
}
