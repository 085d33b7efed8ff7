#pragma once
// What the program says about itself: its version information and the names
// under which the desktop knows its project files.

#include <QIcon>
#include <QString>

#include "gui/settings/TkAppInfo.h"

class TkKestrifyInfo {
  public:
    static constexpr const char* Extension = ".KFY";
    static constexpr const char* MimeType = "application/x-kestrify-project";
    // The desktop entry's file name (its desktop file ID).
    static constexpr const char* DesktopId = "kestrify.desktop";
    static constexpr const char* IconName = "kestrify";

    // The one object of the process; the first use may throw as TkAppInfo does.
    static const TkKestrifyInfo& Instance();

    const TkAppInfo& AppInfo() const { return appInfo_; }
    // "KESTRIFYファイル"
    static QString FileTypeDescription();
    // The address the About window links to; empty: the help contents.
    static QString WebAddress();
    // The version as the build names it ("0.1.0").
    static QString Version();
    // The program icon, for the application and every window.
    static QIcon ProgramIcon();

  private:
    TkKestrifyInfo() : appInfo_(Version()) {}

    TkAppInfo appInfo_;
};
