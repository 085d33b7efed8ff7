#pragma once
// The progress line of a conversion: a bar, the count, the rate and the time
// left, e.g. "[########------------]  40% 400/1000  2,000通/秒  残り 0:01".
// Pure text; the caller draws it.

#include <chrono>
#include <string>

class TProgressBar {
  public:
    using TClock = std::chrono::steady_clock;

    TProgressBar(int count, TClock::time_point start) : count_(count), start_(start) {}

    // True when the line should be redrawn: at most ten times a second, and
    // for the last mail.
    bool Due(int position, TClock::time_point now);

    // The line for `position` converted mails at `now`, at most `width`
    // columns wide (the bar shrinks, then goes).
    std::string Text(int position, TClock::time_point now, int width) const;

    // "0:07", "12:34", "1:02:03".
    static std::string Duration(long long seconds);
    // "1,234,567".
    static std::string Grouped(long long value);

  private:
    int count_;
    TClock::time_point start_;
    TClock::time_point lastDrawn_{};
    bool drawn_ = false;
};
