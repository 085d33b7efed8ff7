#pragma once
// The association of project files (*.KFY) with this program, per user, the
// way a Linux desktop keeps it: a MIME type in the user's shared MIME
// database, a desktop entry that runs this program, and the default handler
// in the user's mimeapps.list. Both update tools of the desktop run after a
// change when they are installed.
//
// The status is read back the same way: the description of the type that
// "*.KFY" maps to. Removing acts only when the user's default handler of
// that type runs this very program.

#include <QString>
#include <QStringList>
#include <filesystem>

class TFileAssociation {
  public:
    struct TFolders {
        QString dataHome;             // $XDG_DATA_HOME
        QString configHome;           // $XDG_CONFIG_HOME
        QStringList mimeDirs;         // the user's first
        QStringList applicationDirs;  // the user's first
    };

    // The user's folders as QStandardPaths gives them.
    TFileAssociation();
    explicit TFileAssociation(TFolders folders);
    static TFolders StandardFolders();

    // Empty when no type claims "*.KFY" or the type has no description.
    QString Description() const;
    // " 拡張子'KFY'の付いたファイルのタイプは\n ..." as the settings page shows it.
    QString StatusText() const;

    // Writes the type, the desktop entry and the default handler for the
    // program; false when any of it failed.
    bool Associate(const QString& programPath);
    // The program that the default handler of "*.KFY" files runs; empty when none.
    QString HandlerProgram() const;
    // Removes the user's association when it names the program exactly;
    // true when it did.
    bool Remove(const QString& programPath);

    // The Exec value that runs the program on one file: the path in double
    // quotes, escaped as desktop entries require, then "%f". Empty when the
    // path cannot be written there (a line break).
    static QString ExecValue(const QString& programPath);
    // The program an Exec value starts (its first argument, quotes and
    // escapes undone).
    static QString ExecProgram(const QString& execValue);

    std::filesystem::path MimePackagePath() const;
    std::filesystem::path DesktopEntryPath() const;
    std::filesystem::path MimeAppsPath() const;

  private:
    QString DesktopEntryFor(const QString& id) const;
    void RunUpdateTools(bool& ok) const;

    TFolders folders_;
};
