#pragma once
// What opening an IMAP store needs besides its URL. The secret is held only
// here, in memory: never in a project, the settings or a script.

#include <stop_token>
#include <string>

struct TImapAccess {
    // Where unattended runs find the secret when no keyring has it.
    static constexpr const char* kPasswordVariable = "KESTRIFY_IMAP_PASSWORD";

    std::string secret;  // the password, or the bearer token for ;AUTH=XOAUTH2 (UTF-8)
    std::string caFile;  // extra CA certificates (PEM) besides the system's, or empty
    // The run's stop: asking it (from any thread) closes the connection at
    // once. Default: never.
    std::stop_token stop;
    struct TTimeouts {
        int connectSeconds = 30;
        int idleSeconds = 60;  // without a byte moving either way
    } timeouts;
};
