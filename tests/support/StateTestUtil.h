#pragma once
// A private state folder for a test: XDG_STATE_HOME points into a temporary
// folder while the test runs, so no test writes the real home.

#include <filesystem>
#include <fstream>
#include <string>

#include "TEnvironmentVariable.h"
#include "TempDir.h"

class TStateHome {
  public:
    TStateHome() : variable_("XDG_STATE_HOME", dir_.File("state").c_str()) {}
    TStateHome(const TStateHome&) = delete;
    TStateHome& operator=(const TStateHome&) = delete;

    const TTempDir& Dir() const { return dir_; }

    static void Append(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::app) << text;
    }

  private:
    TTempDir dir_;
    TEnvironmentVariable variable_;
};
