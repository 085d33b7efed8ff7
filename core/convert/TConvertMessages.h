#pragma once
// Every text the conversion and the CSV saving show the user, in Shift_JIS,
// built in this one place so the result window and the headless command say
// the same thing.

#include <string>

class TConvertMessages {
  public:
    // A mail failed during the loop; asks whether to go on (Yes / No / Help).
    static std::string MailError(int count, int mailNumber, const std::string& message,
                                 bool regexError);
    // The loop failed outside one mail's conversion (OK / Help).
    static std::string LoopError(int count, int mailNumber, const std::string& message);
    // Status after each converted mail: "(position/count)".
    static std::string Progress(int position, int count);
    static std::string Finished();
    // The end of a conversion in the status bar: how many rows the table
    // holds, or that the user stopped it and how many of the store's mails
    // made it into the table.
    static std::string FinishedRows(int rows);
    static std::string Stopped(int count, int rows);
    // Entries of a folder store that are no mail files it may read (links
    // out of the store, FIFOs, devices, folders): how many were skipped.
    static std::string SkippedEntries(int entries);
    // A number with thousands separators: "1,000,000".
    static std::string Grouped(long long number);
    static std::string Saved();
    static std::string SaveFailed();
    // The same with the system's reason for `error` (an errno) on a second
    // line; a folder as target is named as such.
    static std::string SaveFailed(int error);
    // The text of an error that carries none of its own.
    static std::string UnknownError();
    // Asked when the backup copy could not be made (Yes / No).
    static std::string BackupFailed();
};
