#include "TProgressBar.h"

#include <algorithm>

#include "TTerminal.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Below this much elapsed time a rate says nothing yet.
constexpr double kMinSecondsForRate = 0.2;
constexpr int kMinBar = 10;
constexpr int kMaxBar = 40;

// Right-aligned in four columns: "  7%", "100%".
std::string Percent(int position, int count) {
    const int percent = count > 0 ? static_cast<int>(100LL * position / count) : 100;
    const std::string digits = std::to_string(percent);
    std::string text(3 - std::min<std::size_t>(3, digits.size()), ' ');
    text.append(digits).append("%");
    return text;
}

std::string TwoDigits(long long v) {
    std::string text = v < 10 ? "0" : "";
    text.append(std::to_string(v));
    return text;
}

}  // namespace

bool TProgressBar::Due(int position, TClock::time_point now) {
    if (position >= count_ || !drawn_ || now - lastDrawn_ >= kRedrawInterval) {
        drawn_ = true;
        lastDrawn_ = now;
        return true;
    }
    return false;
}

std::string TProgressBar::Text(int position, TClock::time_point now, int width) const {
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::string tail = Percent(position, count_) + " " + Grouped(position) + "/" + Grouped(count_);
    if (seconds >= kMinSecondsForRate && position > 0) {
        const double rate = position / seconds;
        const auto left = static_cast<long long>((count_ - position) / rate + 0.5);
        tail +=
            "  " + Grouped(static_cast<long long>(rate + 0.5)) + "通/秒  残り " + Duration(left);
    }
    const int room = width - 1 - TTerminal::DisplayWidth(tail) - 3;  // "[", "] ", spare column
    if (room < kMinBar) {
        return tail;
    }
    const int bar = std::min(room, kMaxBar);
    const int filled = count_ > 0 ? static_cast<int>(1LL * bar * position / count_) : bar;
    std::string text = "[";
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(bar - filled), '-');
    text.append("] ").append(tail);
    return text;
}

std::string TProgressBar::Duration(long long seconds) {
    seconds = std::max(0LL, seconds);
    const long long h = seconds / 3600;
    const long long m = seconds / 60 % 60;
    const long long s = seconds % 60;
    std::string text = std::to_string(h > 0 ? h : m);
    if (h > 0) {
        text.append(":").append(TwoDigits(m));
    }
    text.append(":").append(TwoDigits(s));
    return text;
}

std::string TProgressBar::Grouped(long long value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out.push_back(',');
        }
        out.push_back(digits[i]);
    }
    return out;
}
