// The upload dialog for screen readers: "S" and "L" keep their letters on screen and are spoken as
// what they do, the bars and the log have names, the status line is a live region whose every
// change is announced, and the outcome of the upload is said in words when the session ends.
#pragma once

#include "upload/UploadTypes.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tovalo::upload {

class DialogAccessibility {
public:
    // The dialog's controls get their spoken names (the log folded or not).
    void Attach(HWND dialog, bool logFolded);
    // Before the dialog's controls go.
    void Detach();

    // The status line shows text: screen readers are told (with the outcome once there is one).
    void StatusShown(std::wstring_view text);
    // "L" is spoken as what a press of it does now.
    void LogFolded(bool folded);
    // The session's outcome, said with the next status the dialog shows.
    void Ended(const UploadOutcome& outcome, std::size_t queued);

private:
    HWND dialog_ = nullptr;
    std::wstring outcome_;
};

// What a listener is told of an outcome, after the status line's own text.
std::wstring SpokenOutcome(const UploadOutcome& outcome, std::size_t queued);

}  // namespace tovalo::upload
