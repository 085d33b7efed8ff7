#pragma once
// The exit statuses of the headless command, so schedulers and scripts can
// tell a clean run from a partial one and from one that wrote nothing.

class TExitStatus {
  public:
    enum TCode : int {
        Success = 0,      // every mail converted, the CSV written
        MailsFailed = 1,  // the CSV written, but some mails could not be converted
        BadInput = 2,     // bad usage, unreadable project or store, failed checks
        WriteFailed = 3,  // the CSV or its backup could not be written
        OutOfMemory = 4,  // memory ran out; nothing was written
    };

    // A run stopped by a signal before saving: 128 + its number, as shells
    // report it (130 for Ctrl-C).
    static int AfterSignal(int signal) { return 128 + signal; }

    // The status of a run whose CSV was written.
    static TCode AfterSave(int failedMails) { return failedMails > 0 ? MailsFailed : Success; }
};
