// Ctrl-C during a sync: noted instead of ending the process, so that the sync stops between two
// requests, finishes those in flight, writes its report and exits 130; a second one changes
// nothing (the report is seconds away). SIGINT and SIGTERM on POSIX systems; Ctrl-C, Ctrl-Break
// and the console closing on Windows.
#pragma once

namespace facepad::cli {

class InterruptWatch {
public:
    InterruptWatch();   // from here on an interrupt is noted
    ~InterruptWatch();  // from here on it ends the process again
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether an interrupt came while a watch was on; stays true after it.
    static bool Interrupted();
};

}  // namespace facepad::cli
