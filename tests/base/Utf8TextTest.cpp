#include "base/Utf8Text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(Utf8Text, AppendWritesEachLengthAtItsBounds) {
    const std::pair<char32_t, std::string> cases[] = {
        {U'A', "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {U'あ', "\xE3\x81\x82"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    std::string all;
    for (const auto& [c, bytes] : cases) {
        std::string out = "x";
        utf8::Append(out, c);
        EXPECT_EQ(out, "x" + bytes) << static_cast<unsigned>(c);
        all += bytes;
    }
    EXPECT_TRUE(utf8::IsValid(all));
}
