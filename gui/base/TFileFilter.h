#pragma once
// File dialog filters are written as "description|patterns" pairs, patterns
// separated by ';'. Qt wants "description (pattern pattern)", one per entry.

#include <QString>
#include <QStringList>

class TFileFilter {
  public:
    static QStringList ToQt(const QString& filter);
};
