#include "state/TNewMailReader.h"

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

int TNewMailReader::StoreIndex(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= indexes_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    return indexes_[static_cast<std::size_t>(index)];
}

std::unique_ptr<TBasicMail> TNewMailReader::GetMail(int index) {
    return store_->GetMail(StoreIndex(index));
}

void TNewMailReader::AppendRawHeader(int index, std::string& out) {
    store_->AppendRawHeader(StoreIndex(index), out);
}

void TNewMailReader::SetOptions(TMailOptions options) {
    store_->SetOptions(options);
    TBasicMailParser::SetOptions(std::move(options));
}
