#pragma once
// What a host tells the mail parsing besides the mail text. The core shows no
// windows: a header that cannot be decoded is reported through `warning`,
// which the GUI turns into a warning box and the headless command prints.

#include <functional>
#include <string>

struct TMailOptions {
    // Called with the Shift_JIS text of an error that stopped the parsing of
    // a header block; the mail is still read with the headers found so far.
    // Readers may build mails on several threads at once, so the callback
    // must be safe to call concurrently. Empty: such warnings are dropped.
    std::function<void(const std::string& sjisMessage)> warning;
};
