#pragma once
// The record database was damaged: it was moved aside (the message names
// both files) and the next run starts a new record.

#include "base/TKestrifyError.h"

class TRecordDamaged : public TKestrifyError {
  public:
    using TKestrifyError::TKestrifyError;
};
