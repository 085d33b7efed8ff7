#pragma once
// The one check every save makes before anything is read: the CSV file (and,
// when a backup is asked for, its ".bak" copy) must not be one of the run's
// own inputs. Overwriting the project, the mail store or a mail of a folder
// store would destroy what the run reads. Used by the headless command, the
// desktop program's automatic run and the result window's save dialog.
//
//     TOutputTargetCheck check(project, store);      // Shift_JIS paths
//     if (auto refusal = check.Refuse(csv, backup)) { show refusal->message; stop }

#include <optional>
#include <string>

// Why a target was refused; the run then writes nothing.
struct TOutputRefusal {
    std::string message;  // Shift_JIS: "<target>: 出力先が…です。"
    std::string english;  // the same in English, for the command's second language
};

class TOutputTargetCheck {
  public:
    // `sjisProject` may be empty (a project not saved yet); `sjisStore` is
    // the mail location as the reader gets it (a file or a folder).
    TOutputTargetCheck(std::string sjisProject, std::string sjisStore)
        : project_(std::move(sjisProject)), store_(std::move(sjisStore)) {}

    // The output `sjisTarget` and, with `backup`, the file its old text
    // would be copied to. None when both may be written.
    std::optional<TOutputRefusal> Refuse(const std::string& sjisTarget, bool backup) const;

  private:
    enum class TRole { Output, Backup };
    std::optional<TOutputRefusal> RefuseOne(const std::string& sjisTarget, TRole role) const;

    std::string project_;
    std::string store_;
};
