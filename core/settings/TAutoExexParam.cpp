#include "settings/TAutoExexParam.h"

std::string TAutoExexParam::Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {  // never the second byte of a double-byte character
            out += '"';
        }
    }
    out += '"';
    return out;
}

std::string TAutoExexParam::GetCommandLine() const {
    return Quote(paramFile_) + " " + Quote(csvFile_) + " " + std::to_string(saveType_) + " " +
           (makeBackup_ ? "1" : "0");
}
