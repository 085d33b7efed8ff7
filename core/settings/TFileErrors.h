#pragma once
// The file errors of project and settings files, with their Japanese texts.

#include <filesystem>

#include "base/TKestrifyError.h"

class TFileErrors {
  public:
    static TKestrifyError CannotRead(const std::filesystem::path& path);
    static TKestrifyError CannotWrite(const std::filesystem::path& path);
};
