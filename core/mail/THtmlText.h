#pragma once
// The text of an HTML mail body as a reader of the page sees it, so that
// key-line parameters find their values in HTML-only mails:
// - block elements, list items and <br> end lines;
// - a table row is one line, its cells separated by a tab ("お名前\t山田");
// - <script>, <style>, <head>, <template> and comments are dropped;
// - entities and character references are decoded, a no-break space is a
//   blank;
// - white space collapses as a browser collapses it, except inside <pre>;
// - a link keeps its text, not its address.
// Parsed by libxml2's HTML parser, which takes broken markup the way
// browsers do. Never raises; damaged input gives what could be read.

#include <string>
#include <string_view>

class THtmlText {
  public:
    // Shift_JIS HTML to Shift_JIS text, lines ending in LF.
    static std::string FromSjis(std::string_view html);
    // UTF-8 HTML to UTF-8 text, lines ending in LF.
    static std::string FromUtf8(std::string_view html);

    // The charset the document names in its own markup: a <meta charset>
    // or the charset of a <meta http-equiv="Content-Type" content="...">,
    // looked for in the head (the first 64 KiB at most); empty when none.
    // Markup is ASCII in every charset a mail uses, so the raw bytes serve;
    // for the same reason a <meta> naming UTF-16 or UTF-32 is wrong and
    // passed over.
    static std::string MetaCharset(std::string_view html);
};
