#pragma once
// Standard error as the headless command uses it: whole lines of UTF-8
// text, and on a terminal one status line (the progress bar) that is
// redrawn in place and cleared before any other line is printed. Safe to use
// from several threads (mail warnings arrive from the reader threads).

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

class TTerminal {
  public:
    explicit TTerminal(std::FILE* stream = stderr);

    // True when the stream is a terminal: only then is a status line drawn.
    bool IsInteractive() const { return interactive_; }
    // Columns of the terminal; 80 when unknown.
    int Width() const;

    // "kestrify-cli: " + the text, as one line.
    void Message(std::string_view utf8);
    // The same for a Shift_JIS text.
    void MessageSjis(std::string_view sjis);
    // A line as it is (help, version).
    void Line(std::string_view utf8);

    // Replaces the status line (no effect unless interactive).
    void Status(std::string_view utf8);
    void ClearStatus();

    // Columns that a UTF-8 text takes: two for every character outside
    // ASCII, which for the program's Japanese texts is right.
    static int DisplayWidth(std::string_view utf8);
    // Line breaks inside a message become " / " so a message stays on one
    // line of the log.
    static std::string OneLine(std::string_view utf8);

  private:
    void ClearStatusLocked();
    void Write(std::string_view text);

    std::FILE* stream_;
    bool interactive_;
    bool statusShown_ = false;
    std::mutex mutex_;
};
