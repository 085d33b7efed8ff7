#pragma once
// An only-new run refused because its CSV is no longer what the last run
// left: cut, its end changed, or replaced by a file that does not begin with
// the recorded rows. Appending would write into a broken row or add every
// row again; the host adds how to clear the record (its own words for it).

#include "base/TKestrifyError.h"

class TOutputChanged : public TKestrifyError {
  public:
    using TKestrifyError::TKestrifyError;
};
