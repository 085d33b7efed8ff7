#pragma once
// The one name under which an IMAP password lives in the desktop keyring,
// shared by the desktop program (which stores it through QtKeychain) and the
// command (which reads it back), so both find the same entry.
//
// QtKeychain keeps a password in the Secret Service under the schema
// "org.qt.keychain" with the attributes server = kService, user = Key(...)
// and type = "plaintext" (the password as UTF-8 text); a reader that goes
// to libsecret directly looks it up by server and user.

#include <string>

class TImapKeyringName {
  public:
    // QtKeychain's service name: the "server" attribute.
    static constexpr const char* kService = "Kestrify IMAP";
    // QtKeychain's schema in the Secret Service.
    static constexpr const char* kSchema = "org.qt.keychain";

    // QtKeychain's key ("user" attribute): "user@host:port", with the user,
    // host and port as the IMAP URL names them (UTF-8, not %-encoded; the
    // port always written, also when it is the default one).
    static std::string Key(const std::string& utf8User, const std::string& host, int port) {
        return utf8User + "@" + host + ":" + std::to_string(port);
    }
};
