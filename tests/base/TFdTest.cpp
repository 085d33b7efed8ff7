#include "base/TFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(TFd, ClosesAtScopeEndUnlessReleased) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    {
        const TFd read(ends[0]);
        TFd write(ends[1]);
        EXPECT_EQ(write.Release(), ends[1]);
        EXPECT_EQ(write.Get(), -1);
    }
    EXPECT_FALSE(IsOpen(ends[0]));
    EXPECT_TRUE(IsOpen(ends[1]));
    ::close(ends[1]);
    const TFd failed(-1);  // a failed open: nothing to close
    EXPECT_EQ(failed.Get(), -1);
}

}  // namespace
