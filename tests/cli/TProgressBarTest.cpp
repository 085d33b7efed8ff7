#include "TProgressBar.h"

#include <gtest/gtest.h>

#include "TTerminal.h"
#include "TTerminalHost.h"

namespace {

using namespace std::chrono_literals;
using TClock = TProgressBar::TClock;

TEST(TProgressBarTest, ShowsCountRateAndTimeLeft) {
    const TClock::time_point start{};
    TProgressBar bar(1000, start);
    EXPECT_EQ(bar.Text(400, start + 2s, 80),
              "[################------------------------]  40% 400/1,000  200通/秒  残り 0:03");
}

TEST(TProgressBarTest, NoRateBeforeAnythingIsKnown) {
    const TClock::time_point start{};
    TProgressBar bar(10, start);
    EXPECT_EQ(bar.Text(0, start, 23), "[----------]   0% 0/10");
}

TEST(TProgressBarTest, FitsNarrowTerminals) {
    const TClock::time_point start{};
    TProgressBar bar(123456, start);
    for (int width : {20, 40, 60, 80, 200}) {
        const std::string text = bar.Text(61728, start + 10s, width);
        const int shown = TTerminal::DisplayWidth(text);
        // The bar goes first; the numbers stay even when they alone are wider.
        EXPECT_TRUE(shown < width || text.front() != '[') << width << ": " << text;
    }
}

TEST(TProgressBarTest, RedrawsAtMostTenTimesASecondAndAlwaysAtTheEnd) {
    const TClock::time_point start{};
    TProgressBar bar(100, start);
    EXPECT_TRUE(bar.Due(1, start));
    EXPECT_FALSE(bar.Due(2, start + 50ms));
    EXPECT_TRUE(bar.Due(3, start + 100ms));
    EXPECT_TRUE(bar.Due(100, start + 110ms));
}

TEST(TProgressBarTest, DurationsAndGrouping) {
    EXPECT_EQ(TProgressBar::Duration(0), "0:00");
    EXPECT_EQ(TProgressBar::Duration(754), "12:34");
    EXPECT_EQ(TProgressBar::Duration(3723), "1:02:03");
    EXPECT_EQ(TProgressBar::Duration(-5), "0:00");
    EXPECT_EQ(TProgressBar::Grouped(0), "0");
    EXPECT_EQ(TProgressBar::Grouped(999), "999");
    EXPECT_EQ(TProgressBar::Grouped(1000), "1,000");
    EXPECT_EQ(TProgressBar::Grouped(1234567), "1,234,567");
    EXPECT_EQ(TProgressBar::Grouped(-12345), "-12,345");
}

TEST(TTerminalTest, MessagesStayOnOneLine) {
    EXPECT_EQ(TTerminal::OneLine("a\nb"), "a / b");
    EXPECT_EQ(TTerminal::OneLine("a\r\n\r\nb\n"), "a / b");
    EXPECT_EQ(TTerminal::OneLine("\nplain"), "plain");
    EXPECT_EQ(TTerminal::DisplayWidth("ab"), 2);
    EXPECT_EQ(TTerminal::DisplayWidth("通/秒"), 5);
}

TEST(TTerminalHostTest, FirstLineDropsTheWindowsQuestion) {
    EXPECT_EQ(TTerminalHost::FirstLine("failed\ngo on?"), "failed");
    EXPECT_EQ(TTerminalHost::FirstLine("only"), "only");
}

}  // namespace
