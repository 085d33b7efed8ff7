#include "codeconv/TCodePageConv.h"

std::string TCodePageConv::ToSjis(std::string_view text, int) {
    return std::string(text);
}
std::string TCodePageConv::FromIso2022Jp(std::string_view text) {
    return std::string(text);
}
std::string TCodePageConv::FromEucJp(std::string_view text) {
    return std::string(text);
}
std::string TCodePageConv::FromUtf7(std::string_view text) {
    return std::string(text);
}
std::string TCodePageConv::FromUtf8(std::string_view text) {
    return std::string(text);
}
