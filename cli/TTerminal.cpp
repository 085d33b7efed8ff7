#include "TTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "codeconv/TSjisUnicode.h"

namespace {

constexpr std::string_view kPrefix = "kestrify-cli: ";

}  // namespace

TTerminal::TTerminal(std::FILE* stream)
    : stream_(stream), interactive_(isatty(fileno(stream)) == 1) {}

int TTerminal::Width() const {
    winsize size{};
    if (interactive_ && ioctl(fileno(stream_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

void TTerminal::Message(std::string_view utf8) {
    std::string line(kPrefix);
    line.append(OneLine(utf8)).append("\n");
    std::lock_guard lock(mutex_);
    ClearStatusLocked();
    Write(line);
}

void TTerminal::MessageSjis(std::string_view sjis) {
    Message(TSjisUnicode::ToUtf8(sjis));
}

void TTerminal::Line(std::string_view utf8) {
    std::string line(utf8);
    line.append("\n");
    std::lock_guard lock(mutex_);
    ClearStatusLocked();
    Write(line);
}

void TTerminal::Status(std::string_view utf8) {
    if (!interactive_) {
        return;
    }
    // Carriage return, the text, then erase to the end of the line.
    std::string line = "\r";
    line.append(utf8).append("\x1b[K");
    std::lock_guard lock(mutex_);
    Write(line);
    statusShown_ = true;
}

void TTerminal::ClearStatus() {
    std::lock_guard lock(mutex_);
    ClearStatusLocked();
}

void TTerminal::ClearStatusLocked() {
    if (statusShown_) {
        Write("\r\x1b[K");
        statusShown_ = false;
    }
}

void TTerminal::Write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

int TTerminal::DisplayWidth(std::string_view utf8) {
    int width = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            ++width;
        } else if (byte >= 0xC0) {
            width += 2;  // the lead byte of a character outside ASCII
        }
    }
    return width;
}

std::string TTerminal::OneLine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool brokenOff = false;
    for (const char c : utf8) {
        if (c == '\r' || c == '\n') {
            brokenOff = true;
            continue;
        }
        if (brokenOff && !out.empty()) {
            out.append(" / ");
        }
        brokenOff = false;
        out.push_back(c);
    }
    return out;
}
