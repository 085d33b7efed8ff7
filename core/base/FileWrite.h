#pragma once
// Writing a whole buffer to a file descriptor: write() may take less than it
// is given or be interrupted by a signal.

#include <string_view>

// 0 when every byte was written, otherwise the errno of the failure.
int WriteAll(int fd, std::string_view data);
