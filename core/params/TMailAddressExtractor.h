#pragma once
// Reduction of a value to a mail address or to the display name that goes
// with it. Both need the regular-expression engine; without it they give
// empty text.

#include <string>
#include <string_view>

class TMailAddressExtractor {
  public:
    // The pattern every address is found with.
    static constexpr std::string_view kAddressPattern =
        "[0-9A-Za-z_!#$%&*+-/=?^_{|}~.]+@[0-9A-Za-z][0-9a-zA-Z_.-]*";

    // The first address found, line by line; empty when there is none.
    static std::string ExtractMailAddress(std::string_view text);
    // The display name before the address ("Name" <addr>, Name <addr>) or
    // in parentheses after it (addr (Name)); empty otherwise.
    static std::string ExtractMailName(std::string_view text);

    // The same as views into `text`.
    static std::string_view MailAddressView(std::string_view text);
    static std::string_view MailNameView(std::string_view text);

    // For header values (From:, To:): as MailAddressView and MailNameView,
    // but when no address has a domain, the one written in angle brackets
    // counts as written ("Mail Delivery Subsystem <MAILER-DAEMON>" gives
    // "MAILER-DAEMON" and the name; "Name <>" an empty address and the name).
    static std::string_view HeaderAddressView(std::string_view text);
    static std::string_view HeaderNameView(std::string_view text);
};
