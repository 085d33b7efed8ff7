#pragma once
// The part of one conversion run that converts only new mail, for any
// program that runs conversions: it takes the output's record (waiting for
// another run on the same output), puts a reader of the new mails in place
// of the store's, tells how the CSV is to be saved, and records what was
// saved, in this order:
//   Choose → (convert) → Stage → save the CSV, synced → Commit, or Drop
//   when the save failed or was stopped.

#include <memory>
#include <stop_token>
#include <string>

#include "mail/TBasicMailParser.h"
#include "state/TNewMailSelector.h"
#include "state/TOnlyNewRecord.h"

class TOnlyNewRun {
  public:
    // `sjisOutput`: the CSV file. Throws TKestrifyError when the record
    // cannot be opened, TOutputChanged when the CSV was cut or replaced since
    // the last run (nothing may be appended until it is restored or the
    // record forgotten).
    explicit TOnlyNewRun(const std::string& sjisOutput, const std::stop_token& stop = {});

    // A reader of the mails of `store` not yet converted into the output.
    std::unique_ptr<TBasicMailParser> Choose(std::unique_ptr<TBasicMailParser> store, int mailType,
                                             const std::string& sjisLocation);
    // Mails of the store found already converted.
    int Skipped() const { return selection_.skipped; }

    // Rows are appended to a file that has text; a missing or empty file is
    // written whole, title row first. Asked when the save begins.
    int SaveType() const;
    // Whether the save has anything to do for `rows` new rows.
    bool NeedsSave(int rows) const;

    // Before the save: the first `converted` new mails will be in the CSV.
    void Stage(int converted) { TNewMailSelector::Stage(selection_, converted, record_); }
    void Commit() { record_.Commit(); }
    void Drop() { record_.Drop(); }

    // Clears the record of one output; false when there was none.
    static bool Forget(const std::string& sjisOutput);
    // After a run without the option overwrote `sjisOutput` in place (same
    // file, new rows): its record no longer tells what the file holds.
    static void Overwritten(const std::string& sjisOutput);

  private:
    std::string output_;
    TOnlyNewRecord record_;
    TNewMailSelector::TSelection selection_;
};
