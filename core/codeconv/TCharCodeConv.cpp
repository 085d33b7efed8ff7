#include "codeconv/TCharCodeConv.h"

std::string TCharCodeConv::B64Decode(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::QPDecode(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::MimeToJis(std::string_view value) {
    return std::string(value);
}
std::string TCharCodeConv::DecodeMimeWords(std::string_view text, std::string_view) {
    return std::string(text);
}
std::string TCharCodeConv::DecodeWordBase64(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::DecodeWordQ(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::EucToJis(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::JisToSJis(std::string_view text) {
    return std::string(text);
}
std::string TCharCodeConv::j2sj1(unsigned char c1, unsigned char c2) {
    return std::string{static_cast<char>(c1), static_cast<char>(c2)};
}
std::string TCharCodeConv::KanaConv(unsigned char) {
    return {};
}
