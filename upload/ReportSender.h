// SendReport: one error report over a socket of the project's own, from start to end on the
// calling thread (a thread of its own: nobody waits for a report), every step bounded. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tovalo::upload {

struct ReportBounds {
    unsigned lookupSeconds = 5;   // the report host's name
    unsigned connectSeconds = 5;  // the connection to the report host
    unsigned sendSeconds = 5;     // the request going out
    unsigned answerSeconds = 5;   // the first bytes of an answer, which end the exchange unread
};

// Runs work on a thread of its own that may outlive the caller; false when none can start.
using ThreadStarter = std::function<bool(std::function<void()> work)>;

// Sends request to host:port and closes the connection once the first bytes of an answer come
// (or the server closes, or the bound passes); the answer is never read. The host's name is looked
// up on a thread that startThread starts, and given up when the lookup outlasts its bound: the
// system's resolver cannot be cut short. True when the whole request went out; every failure is
// silent otherwise.
bool SendReport(const std::string& request, const std::string& host, std::uint16_t port,
                const ThreadStarter& startThread, const ReportBounds& bounds = {});

}  // namespace tovalo::upload
