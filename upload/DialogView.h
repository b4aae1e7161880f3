// CDialogView: the upload dialog as the session's worker sees it. Each call of the session queues
// what it says and wakes the dialog's thread with one posted message; the dialog takes the queue
// and shows it, in order. It also makes the texts a user reads of retries and waits. Once
// detached (the dialog is over) it drops whatever comes.
#pragma once

#include "upload/UploadTypes.h"

#include <windows.h>

#include <mutex>
#include <vector>

namespace tovalo::upload {

struct ViewEvent {
    enum class Kind { kStatus, kFileStarted, kFileProgress, kFileStored, kRate, kEnded };
    Kind kind;
    std::wstring text;        // status, rate
    std::int32_t number = 0;  // percent
    UploadOutcome outcome;    // ended
};

// What came since the dialog last looked: the events in order, and the log's new lines.
struct ViewBatch {
    std::vector<ViewEvent> events;
    std::string log;  // lines, each ending in CR LF, in the system's code page
};

class CDialogView final : public IUploadView {
public:
    // The dialog and the message that tells it to take the queue.
    CDialogView(HWND dialog, UINT message);

    // The dialog's thread: what came since the last call.
    ViewBatch Take();
    // The dialog's thread: nothing more is queued or posted.
    void Detach();

    void Status(const std::wstring& text) override;
    void FileStarted() override;
    void FileProgress(int percent) override;
    void FileStored() override;
    void LogLine(const std::string& line) override;
    void Rate(const std::wstring& text) override;
    void Retrying(std::int32_t number, std::int32_t of, const std::string& reason) override;
    void Resuming(std::int32_t number, std::int32_t of, std::uint64_t offset) override;
    void WaitingForPrevious(bool waiting) override;
    void Ended(const UploadOutcome& outcome) override;

private:
    void Queue(ViewEvent event);
    // Wakes the dialog once for everything queued until it takes it (under the lock).
    void Post();

    std::mutex m_mutex;
    HWND m_dialog;
    const UINT m_message;
    bool m_posted = false;
    ViewBatch m_batch;
};

}  // namespace tovalo::upload
