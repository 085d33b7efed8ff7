#pragma once
// Folders of the user's desktop by kind number 0 to 29: the kinds name the
// classic shell folders in alphabetical order of their identifiers, from the
// alternate start-up folder (0) over the application-data folder (1) and the
// desktop (11) to the templates folder (29). The answers come from
// QStandardPaths; kinds that a Linux desktop has no folder for give empty
// text.

#include <QString>

class TShellFolder {
  public:
    static constexpr int KindCount = 30;
    static constexpr int AppData = 1;
    static constexpr int Desktop = 11;

    // Empty when the desktop has no such folder. A kind outside 0 to 29
    // throws TKestrifyError "指定されたコードが見つかりません。".
    static QString Path(int kind);
};
