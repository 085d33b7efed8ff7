#pragma once
// Owns one file descriptor and closes it when it goes, so a descriptor does
// not leak when a read or a check throws half-way.

class TFd {
  public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd();
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    // -1 when the open failed or the descriptor was released.
    int Get() const { return fd_; }
    // Hands the descriptor to the caller, who closes it from now on.
    int Release();

  private:
    int fd_;
};
