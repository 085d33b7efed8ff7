#pragma once
// The texts of --help (Japanese, then English) and --version, in UTF-8.

#include <string>

class TCliHelp {
  public:
    static std::string Help();
    static std::string Version();
};
