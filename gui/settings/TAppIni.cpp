#include "gui/settings/TAppIni.h"

#include <system_error>

#include "gui/settings/TShellFolder.h"
#include "settings/TIniDocument.h"

namespace {

constexpr const char* Title = "Kestrify";
constexpr const char* InfoSection = "INFO";
constexpr const char* RecentSection = "Setting File";

std::string RecentKey(int i) {
    return "File" + std::to_string(i);
}

std::unique_ptr<TAppIni>& TheInstance() {
    static std::unique_ptr<TAppIni> instance;
    return instance;
}

}  // namespace

TAppIni& TAppIni::Instance() {
    std::unique_ptr<TAppIni>& instance = TheInstance();
    if (!instance) {
        instance = std::make_unique<TAppIni>(DefaultFolder());
    }
    return *instance;
}

void TAppIni::ReleaseInstance() {
    TheInstance().reset();
}

std::filesystem::path TAppIni::DefaultFolder() {
    const QString config = TShellFolder::Path(TShellFolder::AppData);
    if (config.isEmpty()) {
        return {};
    }
    return std::filesystem::path(config.toStdString()) / Title;
}

TAppIni::TAppIni(const std::filesystem::path& folder) {
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);  // a failure shows when writing
        fileName_ = folder / (std::string(Title) + ".ini");
    }
    Read();
}

TAppIni::~TAppIni() {
    WriteIfExists();
}

void TAppIni::Load(TIniDocument& ini) const {
    if (fileName_.empty()) {
        return;
    }
    try {
        ini.LoadFile(fileName_);
    } catch (const std::exception&) {
        ini = TIniDocument();  // an unreadable file reads as missing
    }
}

// A file that cannot be read is not replaced by one that lacks its keys.
void TAppIni::LoadForWrite(TIniDocument& ini) const {
    if (!fileName_.empty()) {
        ini.LoadFile(fileName_);
    }
}

// After the settings were cleared the folder is gone; a later write brings
// it back rather than failing.
void TAppIni::Save(const TIniDocument& ini) const {
    if (fileName_.empty()) {
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(fileName_.parent_path(), ec);
    ini.SaveFile(fileName_);
}

void TAppIni::Read() {
    TIniDocument ini;
    Load(ini);
    lastParamFile_ = ini.ReadString(InfoSection, "LastParamFile", "");
    windowHeight_ = ini.ReadInteger(InfoSection, "WindowHeight", DefaultWindowHeight);
    windowWidth_ = ini.ReadInteger(InfoSection, "WindowWidth", DefaultWindowWidth);
    restoreWindowSize_ = ini.ReadBool(InfoSection, "RestoreWindowSize", false);
    restoreParamFile_ = ini.ReadBool(InfoSection, "RestoreParamFile", false);
}

void TAppIni::Write() {
    TIniDocument ini;
    LoadForWrite(ini);
    ini.WriteString(InfoSection, "LastParamFile", lastParamFile_);
    ini.WriteInteger(InfoSection, "WindowHeight", windowHeight_);
    ini.WriteInteger(InfoSection, "WindowWidth", windowWidth_);
    ini.WriteBool(InfoSection, "RestoreWindowSize", restoreWindowSize_);
    ini.WriteBool(InfoSection, "RestoreParamFile", restoreParamFile_);
    Save(ini);
}

void TAppIni::WriteIfExists() noexcept {
    std::error_code ec;
    if (fileName_.empty() || !std::filesystem::is_regular_file(fileName_, ec)) {
        return;
    }
    try {
        Write();
    } catch (const std::exception&) {
        // Nobody is left to tell at the program's end.
    }
}

std::vector<std::string> TAppIni::GetRecentFiles() const {
    TIniDocument ini;
    Load(ini);
    std::vector<std::string> files;
    for (int i = 0; i < MaxRecent; ++i) {
        std::string value = ini.ReadString(RecentSection, RecentKey(i), "");
        if (!value.empty()) {
            files.push_back(std::move(value));
        }
    }
    return files;
}

void TAppIni::RecentAdd(const std::string& path) {
    std::vector<std::string> files{path};
    for (std::string& f : GetRecentFiles()) {
        if (f != path && static_cast<int>(files.size()) < MaxRecent) {
            files.push_back(std::move(f));
        }
    }
    TIniDocument ini;
    LoadForWrite(ini);
    ini.EraseSection(RecentSection);
    for (int i = 0; i < static_cast<int>(files.size()); ++i) {
        ini.WriteString(RecentSection, RecentKey(i), files[i]);
    }
    Save(ini);
}

void TAppIni::RecentRemove(const std::string& path) {
    TIniDocument ini;
    LoadForWrite(ini);
    for (int i = 0; i < MaxRecent; ++i) {
        if (ini.Find(RecentSection, RecentKey(i)) == path) {
            ini.DeleteKey(RecentSection, RecentKey(i));
            Save(ini);
            return;
        }
    }
}
