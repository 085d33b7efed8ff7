#pragma once
// One environment variable as a test sets it (nullptr: unset), put back as it
// was when the test ends.

#include <cstdlib>
#include <optional>
#include <string>

class TEnvironmentVariable {
  public:
    TEnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~TEnvironmentVariable() { Set(old_ ? old_->c_str() : nullptr); }
    TEnvironmentVariable(const TEnvironmentVariable&) = delete;
    TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

  private:
    void Set(const char* value) const {
        if (value != nullptr) {
            ::setenv(name_.c_str(), value, 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

    std::string name_;
    std::optional<std::string> old_;
};
