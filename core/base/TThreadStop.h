#pragma once
// Whether the work running on this thread was asked to stop, for the long
// steps inside one mail (a parse of many megabytes) that would otherwise
// see a stop only at the next mail. Whoever runs the work on a thread says
// how to ask (TScope); the long steps poll Requested() now and then and end
// early with what they have, which the caller then throws away.

#include <functional>

class TThreadStop {
  public:
    // For its lifetime, Requested() on this thread asks `requested`.
    class TScope {
      public:
        explicit TScope(const std::function<bool()>& requested);
        ~TScope();
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

      private:
        const std::function<bool()>* outer_;
    };

    // False when no scope is open on this thread.
    static bool Requested();
};
