#pragma once
// What the program's arguments ask for: an interactive start, an
// interactive start with a project, or an automatic run
//   kestrify -a [--] PROJECT CSV SAVETYPE [BACKUP]
//   kestrify -- PROJECT
// Only the first five arguments (besides a "--") count. "-a" must be written exactly so
// ("-A" is a file name). A missing or non-numeric save type drops the
// automatic run without a word; only a backup argument "0" turns the backup
// off.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "settings/TAutoExexParam.h"

class TCommandLine {
  public:
    // `arguments` without the program name.
    explicit TCommandLine(const QStringList& arguments);

    // The first argument of an interactive start with arguments, unchanged.
    const std::optional<QString>& ProjectArgument() const { return projectArgument_; }
    // The automatic run asked for, if a valid one was; the caller takes it.
    std::unique_ptr<TAutoExexParam> TakeAutoRun() { return std::move(autoRun_); }
    bool HasAutoRun() const { return autoRun_ != nullptr; }

  private:
    std::optional<QString> projectArgument_;
    std::unique_ptr<TAutoExexParam> autoRun_;
};
