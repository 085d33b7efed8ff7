#pragma once
// What the conversion loop needs from the window or command that runs it.
// Every call comes from the thread that runs the loop.

#include <string>

#include "convert/TConvertMessages.h"

// One mail that could not be converted.
struct TConvertError {
    int count = 0;        // mails in the store
    int mailNumber = 0;   // 1-based number of the failing mail
    std::string message;  // the error's own text (Shift_JIS)
    bool regexError = false;

    // The question to show (Yes: go on, No: stop).
    std::string Text() const {
        return TConvertMessages::MailError(count, mailNumber, message, regexError);
    }
};

class TConvertHost {
  public:
    virtual ~TConvertHost() = default;

    // `count` mails are about to be converted. multiLine: some column can
    // hold line breaks (the window doubles its row height).
    virtual void ConvertStarted(int count, bool multiLine) {
        (void)count;
        (void)multiLine;
    }
    // After each converted mail; `position` counts the converted mails. This
    // is where a window processes its pending events.
    virtual void MailConverted(int position, int count) {
        (void)position;
        (void)count;
    }
    // A mail failed: true to go on with the next one, false to end the loop.
    virtual bool ContinueAfterError(const TConvertError& error) = 0;
};
