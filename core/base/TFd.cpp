#include "base/TFd.h"

#include <unistd.h>

TFd::~TFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int TFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}
