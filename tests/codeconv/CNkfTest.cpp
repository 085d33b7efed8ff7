#include "codeconv/CNkf.h"

#include <gtest/gtest.h>

#include "codeconv/TCharNkfConv.h"

namespace {

// The fake library writes the option letter before every input byte.
std::string Fake(std::string_view in, char option = 's') {
    std::string out;
    for (const char c : in) {
        out += option;
        out += c;
    }
    return out;
}

TEST(CNkf, MissingLibraryIsReportedNotRaised) {
    CNkf nkf;
    EXPECT_EQ(nkf.Load("/nonexistent/NKF32.DLL"), -1);
    EXPECT_EQ(nkf.ErrorText(), "not found NKF32.DLL");
    EXPECT_FALSE(nkf.IsLoaded());
    std::string out = "untouched";
    EXPECT_EQ(nkf.Convert("abc", out), -1);
    EXPECT_EQ(out, "untouched");
}

TEST(CNkf, LooksBesideTheProgramOnly) {
    EXPECT_EQ(CNkf::ProgramFolder(), std::filesystem::path(FAKE_NKF_PATH).parent_path());
    CNkf nkf;
    EXPECT_EQ(nkf.Load(), -1);  // the fake is not named NKF32.DLL
    EXPECT_EQ(nkf.ErrorText(), "not found NKF32.DLL");
}

TEST(CNkf, IncompleteLibraryNamesTheMissingEntryPoint) {
    CNkf nkf;
    EXPECT_EQ(nkf.Load(FAKE_NKF_INCOMPLETE_PATH), -1);
    EXPECT_EQ(nkf.ErrorText(), "GetProcAddress( EncodeSubject ) error.");
    EXPECT_FALSE(nkf.IsLoaded());
}

TEST(CNkf, ConvertsThroughTheLibraryWithTheOption) {
    CNkf nkf;
    ASSERT_EQ(nkf.Load(FAKE_NKF_PATH), 0);
    std::string out;
    EXPECT_EQ(nkf.Convert("abc", out), 0);
    EXPECT_EQ(out, Fake("abc"));
    EXPECT_EQ(nkf.Convert("abc", out, "w"), 0);
    EXPECT_EQ(out, Fake("abc", 'w'));
    // The library reads up to the first 0 byte.
    EXPECT_EQ(nkf.Convert(std::string_view("ab\0cd", 5), out), 0);
    EXPECT_EQ(out, Fake("ab"));
    EXPECT_EQ(nkf.Convert("", out), 0);
    EXPECT_EQ(out, "");
}

TEST(CNkf, InputsOnBothSidesOfTheBlockBufferComeBackWhole) {
    CNkf nkf;
    ASSERT_EQ(nkf.Load(FAKE_NKF_PATH), 0);
    for (const std::size_t n : {511u, 512u, 5000u, 100u}) {
        const std::string in(n, 'x');
        std::string out;
        ASSERT_EQ(nkf.Convert(in, out), 0);
        EXPECT_EQ(out, Fake(in)) << n;
    }
}

TEST(CNkf, ReloadAndUnload) {
    CNkf nkf;
    ASSERT_EQ(nkf.Load(FAKE_NKF_PATH), 0);
    ASSERT_EQ(nkf.Load(FAKE_NKF_PATH), 0);
    nkf.Unload();
    EXPECT_FALSE(nkf.IsLoaded());
    std::string out;
    EXPECT_EQ(nkf.Convert("a", out), -1);
}

TEST(CharNkfConv, TheLibraryTakesOverCharsetConversion) {
    const TCharNkfConv conv{std::filesystem::path(FAKE_NKF_PATH)};
    ASSERT_TRUE(conv.NkfAvailable());
    EXPECT_EQ(conv.ConvertText("ab", 65001), Fake("ab"));
    EXPECT_EQ(conv.ConvertText("ab", 932), Fake("ab"));
    // Transfer decodings stay built in; a UTF-8 B word is Base64-decoded first.
    EXPECT_EQ(conv.ConvertText("QUJD", TCharNkfConv::kBase64), "ABC");
    EXPECT_EQ(conv.DecodeHeader("=?UTF-8?B?QUJD?= x"), Fake("ABC") + " x");
}

}  // namespace
