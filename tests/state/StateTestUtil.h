#pragma once
// A private state folder for a test: XDG_STATE_HOME points into a temporary
// folder while the test runs, so no test writes the real home.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"

class TStateHome {
  public:
    TStateHome() {
        const char* old = std::getenv("XDG_STATE_HOME");
        if (old != nullptr) {
            old_ = old;
            hadOld_ = true;
        }
        ::setenv("XDG_STATE_HOME", dir_.File("state").c_str(), 1);
    }
    ~TStateHome() {
        if (hadOld_) {
            ::setenv("XDG_STATE_HOME", old_.c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }
    TStateHome(const TStateHome&) = delete;
    TStateHome& operator=(const TStateHome&) = delete;

    const TTempDir& Dir() const { return dir_; }

    static void Append(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::app) << text;
    }

  private:
    TTempDir dir_;
    std::string old_;
    bool hadOld_ = false;
};
