#pragma once
// The file errors of project and settings files, with their Japanese texts.

#include <filesystem>

#include "base/TKestrifyError.h"

class TFileErrors {
  public:
    // `reason`, when given, follows in parentheses (the system's words).
    static TKestrifyError CannotRead(const std::filesystem::path& path,
                                     const char* reason = nullptr);
    static TKestrifyError CannotWrite(const std::filesystem::path& path,
                                      const char* reason = nullptr);
};
