// CDialogView: the upload dialog as the session's worker sees it. Each call of the session queues
// what it says and wakes the dialog's thread with one posted message; the dialog takes the queue
// and shows it, in order. Once detached (the dialog is over) it drops whatever comes.
#pragma once

#include "upload/UploadTypes.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <vector>

namespace tovalo::upload {

struct ViewEvent {
    enum class Kind { kStatus, kFileStarted, kFileProgress, kFileStored, kLogLine, kRate, kReport, kEnded };
    Kind kind;
    std::wstring text;          // status, rate
    std::string line;           // log line, report text
    std::int32_t number = 0;    // percent, report error
    std::uint32_t address = 0;  // report: the report host's IPv4 address (network order), 0 if none
    UploadOutcome outcome;      // ended
};

class CDialogView final : public IUploadView {
public:
    // The dialog and the message that tells it to take the queue.
    CDialogView(HWND dialog, UINT message);

    // The dialog's thread: the events since the last call.
    std::vector<ViewEvent> Take();
    // The dialog's thread: nothing more is queued or posted.
    void Detach();

    void Status(const std::wstring& text) override;
    void FileStarted() override;
    void FileProgress(int percent) override;
    void FileStored() override;
    void LogLine(const std::string& line) override;
    void Rate(const std::wstring& text) override;
    // Resolves the report host here, on the session's thread: a name lookup waits on the network.
    void Report(std::int32_t error, const std::string& text) override;
    void Ended(const UploadOutcome& outcome) override;

private:
    void Queue(ViewEvent event);

    std::mutex m_mutex;
    HWND m_dialog;
    const UINT m_message;
    bool m_posted = false;
    std::vector<ViewEvent> m_events;
    std::optional<std::uint32_t> m_reportAddress;  // the session's thread's own
};

}  // namespace tovalo::upload
