#pragma once
// The program's own settings per user: whether to restore the main window's
// size and reopen the last project at start, the last size and project, and
// the recent-project list. They live in Kestrify/Kestrify.ini under the
// user's configuration folder ($XDG_CONFIG_HOME, else ~/.config), Shift_JIS
// INI text replaced in one step on every write.
//
// The five "INFO" values are held in memory and written together by Write().
// The recent list is never cached: every call reads or writes the file.
// The file comes into being only through RecentAdd() or Write() (the general
// settings' OK); the program's end writes the "INFO" values only when the
// file exists then, so a run that never opened a project leaves nothing.
//
// Paths (last project, recent entries) are Shift_JIS, as projects hold them.
// Writes throw TKestrifyError with the file writer's message; reads of a
// missing or unreadable file give the defaults.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TIniDocument;

class TAppIni {
  public:
    static constexpr int MaxRecent = 10;
    static constexpr int DefaultWindowHeight = 437;
    static constexpr int DefaultWindowWidth = 464;

    // The one object of the process, created on first use. Its settings
    // folder is Kestrify under the configuration folder (created if missing).
    static TAppIni& Instance();
    // Writes (WriteIfExists) and destroys the object; the next Instance()
    // makes a new one. For the program's end and for tests.
    static void ReleaseInstance();

    // The settings file is `folder`/Kestrify.ini; the folder is created with
    // its parents when missing. An empty folder (no configuration folder
    // known) keeps nothing: reads give defaults, writes do nothing.
    explicit TAppIni(const std::filesystem::path& folder);
    // Writes the "INFO" values when the file exists; never throws.
    ~TAppIni();
    TAppIni(const TAppIni&) = delete;
    TAppIni& operator=(const TAppIni&) = delete;

    // <configuration folder>/Kestrify, empty when there is no configuration folder.
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& GetFileName() const { return fileName_; }

    const std::string& GetLastParamFile() const { return lastParamFile_; }
    void SetLastParamFile(const std::string& v) { lastParamFile_ = v; }
    int GetWindowHeight() const { return windowHeight_; }
    void SetWindowHeight(int v) { windowHeight_ = v; }
    int GetWindowWidth() const { return windowWidth_; }
    void SetWindowWidth(int v) { windowWidth_ = v; }
    bool GetRestoreWindowSize() const { return restoreWindowSize_; }
    void SetRestoreWindowSize(bool v) { restoreWindowSize_ = v; }
    bool GetRestoreParamFile() const { return restoreParamFile_; }
    void SetRestoreParamFile(bool v) { restoreParamFile_ = v; }

    // Writes the five "INFO" keys, creating the file (and its folder) if needed.
    void Write();
    // Write() only when the file exists; errors are swallowed (program end).
    void WriteIfExists() noexcept;

    // Recent projects, most recent first, at most 10.
    std::vector<std::string> GetRecentFiles() const;
    // Puts the path first, drops other entries equal to it (case matters)
    // and keeps 10; creates the file when it does not exist.
    void RecentAdd(const std::string& path);
    // Deletes the first entry equal to the path; the other keys keep their
    // numbers. Nothing is written when no entry matches.
    void RecentRemove(const std::string& path);

  private:
    void Read();
    void Load(TIniDocument& ini) const;
    void LoadForWrite(TIniDocument& ini) const;
    void Save(const TIniDocument& ini) const;

    std::filesystem::path fileName_;
    std::string lastParamFile_;
    int windowHeight_ = DefaultWindowHeight;
    int windowWidth_ = DefaultWindowWidth;
    bool restoreWindowSize_ = false;
    bool restoreParamFile_ = false;
};
