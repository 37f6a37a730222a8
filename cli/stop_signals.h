#pragma once

#include <atomic>

// Ctrl-C, a terminal hang-up and a request to terminate do not kill the
// program: they set a flag the conversion looks at, so that the reading stops
// within the run being read, the runs read before it are saved whole and the
// names of the saved files are printed. A second
// such signal ends the program at once. A closed pipe and a file-size limit
// kill nothing: the write fails, with EPIPE or EFBIG, and is reported.
class StopSignals {
  public:
    StopSignals();
    const std::atomic_bool *flag() const;
    // The signal caught, 0 if none.
    int caught() const;
    static const char *name(int signal);
};
