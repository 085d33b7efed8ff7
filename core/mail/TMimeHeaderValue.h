#pragma once
// A structured MIME header value (Content-Type, Content-Transfer-Encoding,
// Content-Disposition) read once into its leading value and its parameters:
// RFC 2045 tokens and quoted strings, RFC 5322 comments and folding white
// space, RFC 2231 continuations ("name*0*=") and charset/language
// ("name*=utf-8''...").
//
// Quoted text is never mistaken for a parameter: in
// `multipart/mixed; name="a; boundary=x"; boundary=y` the boundary is "y".
// Real mail breaks the grammar often, so reading is lenient: a missing ";"
// between parameters, a parameter without a leading value, an unclosed quote
// or comment (it runs to the end) are all taken as meant. Never raises.
//
// The value is Shift_JIS text (header values are decoded before they are
// read): the second byte of a double-byte character is never taken for a
// backslash.

#include <string>
#include <string_view>
#include <vector>

class TMimeHeaderValue {
  public:
    struct TParameter {
        std::string name;   // lower case, without any RFC 2231 "*" suffix
        std::string value;  // quoted-pairs undone, %XY escapes decoded
        // From the RFC 2231 form: the bytes of `value` are in `charset`
        // (empty when the parameter did not name one).
        std::string charset;
        std::string language;
    };

    explicit TMimeHeaderValue(std::string_view text);

    // The leading value in lower case ("text/plain", "base64"), without
    // comments or white space; empty when there is none.
    const std::string& Value() const { return value_; }
    // The first non-empty value of the parameter `lowerName`, or empty.
    std::string_view Parameter(std::string_view lowerName) const;
    // The whole parameter, or nullptr (the first non-empty one).
    const TParameter* Find(std::string_view lowerName) const;
    const std::vector<TParameter>& Parameters() const { return parameters_; }
    // Whether the text held something the grammar has no place for: a word
    // without "=", a stray quoted string or byte. Such broken values may
    // still name a charset somewhere.
    bool HasStrayText() const { return stray_; }

  private:
    std::string value_;
    bool stray_ = false;
    std::vector<TParameter> parameters_;
};
