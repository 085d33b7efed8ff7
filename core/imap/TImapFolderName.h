#pragma once
// Folder names as IMAP servers spell them (modified UTF-7, RFC 3501 5.1.3)
// and as people read them (UTF-8). Conversion happens here and nowhere else.

#include <string>
#include <string_view>

class TImapFolderName {
  public:
    struct TRead {
        // UTF-8; a damaged name (a "&...-" run that is not base64 of UTF-16
        // as ToModifiedUtf7 spells it, or that holds a control character
        // such as NUL; a byte that is no printable ASCII) is the server's
        // bytes as they are, so that the folder is found again.
        std::string name;
        // For people: each damaged run and each such byte is U+FFFD.
        std::string display;
    };

    // Throws TKestrifyError for a name that is not UTF-8.
    static std::string ToModifiedUtf7(std::string_view utf8);
    // A name the server sent.
    static TRead Read(std::string_view mutf7);
};
