#pragma once
// Reads the shared MIME database the way the desktop does, without a cache in
// between, so a change shows at once: which type a file name maps to by its
// glob patterns, and the description of a type. `mimeDirs` are the "mime"
// folders in priority order (the user's first); a folder whose compiled
// tables are missing (the database tool never ran there) is read from its
// package files.

#include <QString>
#include <QStringList>

class TMimeLookup {
  public:
    // The "mime" folders of the user and the system (QStandardPaths).
    static QStringList StandardDirs();

    // The type whose glob matches the file name best (highest weight, then
    // longest pattern) in the first folder that has any match; empty when none.
    static QString TypeForFileName(const QStringList& mimeDirs, const QString& fileName);
    // The type's description: the Japanese one when given, otherwise the
    // default one; empty when the type is unknown.
    static QString Comment(const QStringList& mimeDirs, const QString& type);
};
