#pragma once
// Folder names as IMAP servers spell them (modified UTF-7, RFC 3501 5.1.3)
// and as people read them (UTF-8). Conversion happens here and nowhere else.

#include <string>
#include <string_view>

class TImapFolderName {
  public:
    // Throws TKestrifyError for a name that is not UTF-8.
    static std::string ToModifiedUtf7(std::string_view utf8);
    // A name the server sent; a damaged "&...-" run is kept as it is.
    static std::string FromModifiedUtf7(std::string_view mutf7);
};
