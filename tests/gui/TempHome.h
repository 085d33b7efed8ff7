#pragma once
// Points HOME and the XDG folders at a fresh temporary folder for one test,
// so settings, MIME types and desktop entries never reach the real ones.

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <map>
#include <string>

#include "TempDir.h"

class TTempHome {
  public:
    TTempHome() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                                 "XDG_CONFIG_DIRS", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            saved_[name] = qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray();
        }
        Set("HOME", dir_.Path());
        Set("XDG_CONFIG_HOME", dir_.Path() / "config");
        Set("XDG_DATA_HOME", dir_.Path() / "data");
        Set("XDG_CACHE_HOME", dir_.Path() / "cache");
        Set("XDG_STATE_HOME", dir_.Path() / "state");
        Set("XDG_DATA_DIRS", dir_.Path() / "system-data");
        Set("XDG_CONFIG_DIRS", dir_.Path() / "system-config");
    }
    ~TTempHome() {
        for (const auto& [name, value] : saved_) {
            if (value.isNull()) {
                qunsetenv(name.c_str());
            } else {
                qputenv(name.c_str(), value);
            }
        }
    }
    TTempHome(const TTempHome&) = delete;
    TTempHome& operator=(const TTempHome&) = delete;

    const std::filesystem::path& Path() const { return dir_.Path(); }
    std::filesystem::path Config() const { return dir_.Path() / "config"; }
    std::filesystem::path Data() const { return dir_.Path() / "data"; }

  private:
    void Set(const char* name, const std::filesystem::path& value) {
        std::filesystem::create_directories(value);
        qputenv(name, QByteArray::fromStdString(value.string()));
    }

    TTempDir dir_;
    std::map<std::string, QByteArray> saved_;
};
