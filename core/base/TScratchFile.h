#pragma once
// An unnamed temporary file for text held on disk while a run goes on. It
// lives in $TMPDIR (or /tmp when that is not set), has no name from the
// start where the file system allows it, so nothing is ever left behind.

class TScratchFile {
  public:
    // A descriptor open for reading and writing (close-on-exec), or -1 with
    // errno set.
    static int Open();
};
