// Ctrl-C as a stop: while a CStopOnInterrupt lives, the first Ctrl-C raises a cancel signal instead of
// ending the program, so that the client's waits end at once and a transfer is cut short cleanly.
#pragma once

#include "ftp/CancelSignal.h"

namespace nsFtpCli {

// One at a time. The first Ctrl-C (SIGINT; on Windows also Ctrl-Break) raises signal; a second one
// ends the program as it would have without this. The previous handling is restored on destruction.
class CStopOnInterrupt {
public:
    explicit CStopOnInterrupt(nsSocket::CCancelSignal& signal);
    ~CStopOnInterrupt();
    CStopOnInterrupt(const CStopOnInterrupt&) = delete;
    CStopOnInterrupt& operator=(const CStopOnInterrupt&) = delete;
};

}  // namespace nsFtpCli
