#include "settings/TFileErrors.h"

#include "codeconv/TSjisUnicode.h"

TKestrifyError TFileErrors::CannotRead(const std::filesystem::path& path, const char* reason) {
    std::string text = TSjisUnicode::FromUtf8("ファイル \"") + TSjisUnicode::FromPath(path) +
                       TSjisUnicode::FromUtf8("\" を読み込めません。");
    if (reason != nullptr) {
        text.append(" (").append(reason).append(")");
    }
    return TKestrifyError(text);
}

TKestrifyError TFileErrors::CannotWrite(const std::filesystem::path& path, const char* reason) {
    std::string text = TSjisUnicode::FromUtf8("ファイル \"") + TSjisUnicode::FromPath(path) +
                       TSjisUnicode::FromUtf8("\" に書き込めません。");
    if (reason != nullptr) {
        text.append(" (").append(reason).append(")");
    }
    return TKestrifyError(text);
}
