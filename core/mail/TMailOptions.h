#pragma once
// What a host tells the mail parsing besides the mail text. The core shows no
// windows: a header that cannot be decoded is reported through `warning`,
// which the GUI turns into a warning box and the headless command prints.

#include <functional>
#include <string>
#include <string_view>

struct TMailOptions {
    // Called with the Shift_JIS text of an error that stopped the parsing of
    // a header block; the mail is still read with the headers found so far.
    // The text names the mail it came from, ready to show as it is: "a.eml:
    // <error>" for a mail file of a folder, "3番目のメール: <error>" for the
    // third mail of a single-file store (see TMailOrigin).
    // Readers may build mails on several threads at once, so the callback
    // must be safe to call concurrently. Empty: such warnings are dropped.
    std::function<void(const std::string& sjisMessage)> warning;
    // The body of a mail without a text/plain part (or with only an empty
    // one) is its text/html part turned into text (THtmlText). Off: such a
    // body is empty, or the markup itself for a mail that is only HTML.
    bool htmlText = false;
};

// Which mail of its store a mail record is, for the warnings about it.
// Given by the reader; only read while the mail is being parsed.
struct TMailOrigin {
    std::string_view utf8FileName;  // the mail's own file (folder stores)
    int number = 0;                 // 1-based place in a single-file store
};
