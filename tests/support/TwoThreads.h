#pragma once
// Runs `check(upwards, failure)` on two threads at once, one walking its
// cases upwards and one downwards, so that both meet on every lazily filled
// table part the first time it is needed; each sets `failure` to the first
// case that went wrong.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

inline void ExpectRightFromTwoThreads(
    const std::function<void(bool upwards, std::string& failure)>& check) {
    std::string up, down;
    std::thread other(check, false, std::ref(down));
    check(true, up);
    other.join();
    EXPECT_EQ(up, "");
    EXPECT_EQ(down, "");
}
