// Arbitrary bytes through every body and header decoder: nothing may crash,
// hang or read out of bounds, and the ISO-2022-JP decoder must give valid
// Shift_JIS no longer than its input.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "FuzzCheck.h"
#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TCharNkfConv.h"
#include "codeconv/TCodePageConv.h"

namespace {

void Bodies(std::string_view text) {
    for (const int cp : {50222, 51932, 65000, 65001, 932, 1252}) {
        try {
            const std::string out = TCodePageConv::ToSjis(text, cp);
            if (cp == 50222 && text.find('\x1B') != std::string_view::npos) {
                FuzzCheck(out.size() <= text.size());
                FuzzCheck(sjis::IsValid(out));
            }
        } catch (const TKestrifyError&) {
            // a converter that cannot be set up is reported, not a fault
        }
    }
}

void BuiltIns(std::string_view text) {
    TCharCodeConv::B64Decode(text);
    TCharCodeConv::QPDecode(text);
    TCharCodeConv::DecodeWordBase64(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TCharNkfConv conv{std::filesystem::path("/nonexistent/NKF32.DLL")};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Bodies(text);
    BuiltIns(text);
    try {
        conv.DecodeHeader(text);
    } catch (const TKestrifyError&) {
        // an ISO-2022-JP "Q" word may report a converter failure
    }
    for (const char* prefix : {"=?UTF-8?B?", "=?UTF-7?Q?"}) {
        conv.DecodeUtfWord(text, prefix);
    }
    return 0;
}
