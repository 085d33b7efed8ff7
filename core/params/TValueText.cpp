#include "params/TValueText.h"

#include "base/LineSplitter.h"
#include "base/SjisText.h"

namespace {

constexpr std::string_view kFullWidthSpace = "\x81\x40";

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

bool StartsWithDoubleByte(std::string_view text) {
    return !text.empty() && sjis::CharLength(text, 0) == 2;
}

// Whether a character starts at `at`, given that one starts at `from`.
// Lead-range bytes before `at` pair up from the last byte that cannot be a
// lead byte (or from `from`), so only that run needs looking at, not the
// text from its start.
bool IsCharStart(std::string_view text, std::size_t from, std::size_t at) {
    std::size_t run = at;
    while (run > from && sjis::IsLeadByte(static_cast<unsigned char>(text[run - 1]))) {
        --run;
    }
    return (at - run) % 2 == 0;
}

std::size_t LastCharStart(std::string_view text) {
    const std::size_t last = text.size() - 1;
    return IsCharStart(text, 0, last) ? last : last - 1;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty()) {
        if (StartsWithDoubleByte(text)) {
            if (!text.starts_with(kFullWidthSpace)) {
                break;
            }
            text.remove_prefix(2);
        } else if (IsBlankOrTab(text.front())) {
            text = sjis::TrimControl(text);
        } else {
            break;
        }
    }
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty()) {
        const std::size_t start = LastCharStart(text);
        const std::string_view last = text.substr(start);
        if (last.size() == 2) {
            if (last != kFullWidthSpace) {
                break;
            }
            text.remove_suffix(2);
        } else if (IsBlankOrTab(last.front())) {
            text = sjis::TrimControl(text);
        } else {
            break;
        }
    }
    return text;
}

}  // namespace

std::string_view TValueText::TrimAllView(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

std::string TValueText::TrimAll(std::string_view text) {
    return std::string(TrimAllView(text));
}

void TValueText::AppendWrappedLine(std::string& out, std::string_view line, int width) {
    // Narrower widths could not hold a double-byte character; such a line is
    // left whole rather than looping forever.
    if (width < 2 || line.size() <= static_cast<std::size_t>(width)) {
        out.append(line);
        return;
    }
    const auto w = static_cast<std::size_t>(width);
    const std::size_t size = line.size();
    std::size_t start = 0;
    // Each piece may take bytes up to `last`; stop when nothing follows it.
    // Inside the loop last + 1 < size, so a lead byte at `last` always has
    // its second byte.
    for (std::size_t last = w - 1; last + 1 < size; last = start + w - 1) {
        // A double-byte character starting on the last byte moves on whole.
        const bool cuts = IsCharStart(line, start, last) &&
                          sjis::IsLeadByte(static_cast<unsigned char>(line[last]));
        const std::size_t end = cuts ? last : last + 1;
        out.append(line.data() + start, end - start);
        out.append("\r\n", 2);
        start = end;
    }
    out.append(line.data() + start, size - start);
}

std::string TValueText::WrapLine(std::string_view line, int width) {
    std::string out;
    AppendWrappedLine(out, line, width);
    return out;
}

std::string TValueText::WrapText(std::string_view text, int width) {
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        AppendWrappedLine(out, line, width);
        out.append("\r\n");
    }
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n')) {
        out.pop_back();
    }
    return out;
}

void TValueText::StripTrailingLineBreaksInPlace(std::string& text) {
    while (text.size() >= 2 && text.ends_with("\r\n")) {
        text.resize(text.size() - 2);
    }
}

std::string TValueText::StripTrailingLineBreaks(std::string_view text) {
    std::string out(text);
    StripTrailingLineBreaksInPlace(out);
    return out;
}
