#pragma once
// The shell script that runs one project unattended: "#!/bin/sh" and one
// command line that starts the desktop program with "-a" (or, for machines
// without a display, the headless command) on a project and a CSV file.
// Paths are file names as they are on disk (UTF-8); every one is quoted for
// the shell, so blanks, quotes, "$", backquotes and Japanese names pass
// through unchanged.

#include <filesystem>
#include <string>
#include <string_view>

class TAutoRunScript {
  public:
    std::string program;      // absolute path of the desktop program
    std::string projectFile;  // path of the project
    std::string csvFile;      // path of the CSV file, as typed
    int saveType = 0;         // 0 overwrite, 1 append
    bool makeBackup = false;
    bool headless = false;  // run the headless command found beside the program
    bool onlyNew = false;   // convert only the mails not yet in the CSV file

    // The whole script, LF line ends.
    std::string Text() const;

    // Replaces `path` in one step with the script, executable by everyone
    // (mode 0755). Throws the file error, with the system's reason, when it
    // cannot be written; the old file then stays as it was.
    void Save(const std::filesystem::path& path) const;

    // Single quotes around the text; a single quote inside becomes '\''.
    static std::string ShellQuote(std::string_view text);
    // The headless command's path: the program's folder + "kestrify-cli".
    static std::string HeadlessProgram(std::string_view program);
};
