#pragma once
// Failures inside readers, decoders and the project file carry a Japanese
// message (Shift_JIS bytes) that the host shows as it is.

#include <stdexcept>
#include <string>

class TKestrifyError : public std::runtime_error {
  public:
    explicit TKestrifyError(const std::string& sjisMessage) : std::runtime_error(sjisMessage) {}
};
