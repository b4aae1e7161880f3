// The FTP client's outer guard: an operation that meets any exception fails instead of passing it on.
#pragma once

namespace nsFTP {

// Runs body; any exception (an allocation that fails, a handler that throws) gives failure instead.
template <class Result, class Body>
Result NoThrow(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace nsFTP
