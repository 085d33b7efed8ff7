// Arbitrary bytes as an HTML body: the text step and the <meta> charset
// search must never crash, hang or read out of bounds, and the Shift_JIS
// text must be valid Shift_JIS whatever the bytes were.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/SjisText.h"
#include "mail/THtmlText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    THtmlText::MetaCharset(html);
    THtmlText::FromUtf8(html);
    if (!sjis::IsValid(THtmlText::FromSjis(html))) {
        std::abort();
    }
    return 0;
}
