#pragma once
// The command line of kestrify-cli:
//   kestrify-cli [OPTIONS] PROJECT [OUTPUT]
// Texts are kept as given (UTF-8, as the terminal and the file system use).

#include <optional>
#include <string>
#include <vector>

class TCliOptions {
  public:
    enum class TAction { Convert, Help, Version };

    // Throws TUsageError for anything it cannot act on.
    static TCliOptions Parse(const std::vector<std::string>& args);
    static TCliOptions Parse(int argc, const char* const* argv);

    TAction action = TAction::Convert;
    std::string project;
    std::optional<std::string> output;  // "-" is standard output
    std::optional<int> saveType;        // 0 overwrite, 1 append
    std::optional<bool> makeBackup;
    std::optional<int> mailType;  // a kind TStoreKind knows
    std::optional<std::string> location;
    std::optional<std::string> caFile;        // IMAP: extra CA certificates
    std::optional<std::string> passwordFile;  // IMAP: the password's file
    bool utf8 = false;
    bool encodingGiven = false;  // --encoding was on the command line
    bool byteOrderMark = false;
    bool force = false;
    bool stopOnError = false;
    bool quiet = false;
    bool safeCells = false;  // formula-like cells get a leading "'"
    // --only-new / --all: only mails not yet converted into the output, or
    // every mail (instead of the project's ONLYNEW).
    std::optional<bool> onlyNew;
    bool forget = false;  // --forget: clear the output's record of converted mails
    // --format: CSV text or an Excel workbook; by default a workbook when the
    // output's name ends in ".xlsx".
    enum class TFormat { ByName, Csv, Xlsx };
    TFormat format = TFormat::ByName;
    int jobs = 0;  // 0: as many as the machine has cores

    static constexpr int MaxJobs = 256;

  private:
    class TParser;
};
