#include "codeconv/TCharNkfConv.h"

TCharNkfConv::TCharNkfConv() {
    nkfAvailable_ = nkf_.Load() == 0;
}
TCharNkfConv::TCharNkfConv(const std::filesystem::path& nkfLibrary) {
    nkfAvailable_ = nkf_.Load(nkfLibrary) == 0;
}
TCharNkfConv::~TCharNkfConv() {
    nkf_.Unload();
}
std::string TCharNkfConv::ConvertText(std::string_view text, int) const {
    return std::string(text);
}
std::string TCharNkfConv::DecodeHeader(std::string_view value) const {
    return std::string(value);
}
std::string TCharNkfConv::DecodeUtfWord(std::string_view value, std::string_view) const {
    return std::string(value);
}
