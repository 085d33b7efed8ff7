#pragma once
// A command line the program cannot act on. The text is UTF-8, for the
// terminal.

#include <stdexcept>
#include <string>

class TUsageError : public std::runtime_error {
  public:
    explicit TUsageError(const std::string& utf8Message) : std::runtime_error(utf8Message) {}
};
