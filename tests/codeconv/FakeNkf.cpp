// A stand-in for the kanji-filter library, built by the tests: it "converts"
// by writing, for every input byte, the first letter of the current option
// and then the byte, which fills exactly the 2 x n + 1 bytes the library
// may use. Built a second time without EncodeSubject.

#include <cstring>

namespace {
char gOption[16] = "";
}

extern "C" {

__attribute__((visibility("default"))) void GetNkfVersion(char* version) {
    std::strcpy(version, "fake");
}

__attribute__((visibility("default"))) int SetNkfOption(const char* option) {
    std::strncpy(gOption, option, sizeof gOption - 1);
    return 0;
}

__attribute__((visibility("default"))) void NkfConvert(char* out, const char* in) {
    const std::size_t n = std::strlen(in);
    for (std::size_t i = 0; i < n; ++i) {
        out[2 * i] = gOption[0];
        out[2 * i + 1] = in[i];
    }
    out[2 * n] = '\0';
}

__attribute__((visibility("default"))) void ToHankaku(char*) {}

__attribute__((visibility("default"))) void ToZenkakuKana(char*, const char*) {}

#ifndef FAKE_NKF_WITHOUT_ENCODE_SUBJECT
__attribute__((visibility("default"))) void EncodeSubject(char*, const char*) {}
#endif
}
