#pragma once
// Ctrl-C (SIGINT), SIGTERM or SIGHUP during a conversion asks the loop to stop
// before the next mail, as the result window's stop button does: nothing is
// saved and no half-written file is left. A second signal ends the program
// at once. A signal that was ignored when the program started (a job started
// in the background) stays ignored. SIGXFSZ is ignored: a file-size limit
// makes a write fail like a full disk.

class TStopSignal {
  public:
    static void Install();
    // The signal that asked to stop, 0 while none did.
    static int Received();
    static bool Requested() { return Received() != 0; }
};
