#pragma once
// Reader of an MH folder (nmh, Claws Mail): every file named by a decimal
// number is one mail, in the order of the numbers. ",N" files (deleted
// mails), .mh_sequences, Claws Mail's caches and sub-folders are no mails.

#include <string>
#include <string_view>

#include "mail/TNumberedFileParser.h"

class TMHParser : public TNumberedFileParser {
  public:
    // Throws TKestrifyError when the folder cannot be listed.
    explicit TMHParser(const std::string& sjisFolder);

    // A decimal number: the name of a mail.
    static bool IsMailName(std::string_view name);
};
