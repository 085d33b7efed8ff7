#include "state/TOnlyNewRun.h"

#include <sys/stat.h>

#include "codeconv/TSjisUnicode.h"
#include "state/TNewMailReader.h"

namespace {

bool HasText(const std::string& sjisPath) {
    struct stat info {};
    return ::stat(TSjisUnicode::ToPath(sjisPath).c_str(), &info) == 0 && info.st_size > 0;
}

}  // namespace

TOnlyNewRun::TOnlyNewRun(const std::string& sjisOutput, const std::stop_token& stop)
    : output_(sjisOutput),
      record_(TOnlyNewRecord::DefaultDatabase(), TSjisUnicode::ToPath(sjisOutput), stop) {}

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
