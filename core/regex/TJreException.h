#pragma once

#include "base/TKestrifyError.h"

// A search failed inside the regular-expression engine.
class TJreException : public TKestrifyError {
  public:
    using TKestrifyError::TKestrifyError;
};
