// CDialogView: the session's events queued for the dialog's thread (see DialogView.h).
#include "upload/DialogView.h"

#include "framework/Text.h"
#include "upload/RateMeter.h"

#include <utility>

namespace tovalo::upload {

CDialogView::CDialogView(HWND dialog, UINT message) : m_dialog(dialog), m_message(message) {}

ViewBatch CDialogView::Take() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_posted = false;
    return std::exchange(m_batch, {});
}

void CDialogView::Detach() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_dialog = nullptr;
    m_batch = {};
}

void CDialogView::Post() {
    if (!m_posted) m_posted = ::PostMessageW(m_dialog, m_message, 0, 0) != FALSE;
}

void CDialogView::Queue(ViewEvent event) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_dialog) return;
    std::vector<ViewEvent>& events = m_batch.events;
    // Progress is the one event that comes in floods: only the latest of a run counts.
    if (event.kind == ViewEvent::Kind::kFileProgress && !events.empty() &&
        events.back().kind == ViewEvent::Kind::kFileProgress) {
        events.back() = std::move(event);
        return;
    }
    events.push_back(std::move(event));
    Post();
}

// The log's lines of one batch go to the dialog at once: an edit control lays out its text anew
// for every change, and a session of many small files says hundreds of lines between two batches.
void CDialogView::LogLine(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_dialog) return;
    m_batch.log += line + "\r\n";
    Post();
}

void CDialogView::Status(const std::wstring& text) { Queue({ViewEvent::Kind::kStatus, text, 0, {}}); }
void CDialogView::FileStarted() { Queue({ViewEvent::Kind::kFileStarted, {}, 0, {}}); }
void CDialogView::FileProgress(int percent) { Queue({ViewEvent::Kind::kFileProgress, {}, percent, {}}); }
void CDialogView::FileStored() { Queue({ViewEvent::Kind::kFileStored, {}, 0, {}}); }
void CDialogView::Rate(const std::wstring& text) { Queue({ViewEvent::Kind::kRate, text, 0, {}}); }

// "재시도 2/10 … 426 Connection closed.": the server's words are in the system's code page.
void CDialogView::Retrying(std::int32_t number, std::int32_t of, const std::string& reason) {
    Status(L"재시도 " + std::to_wstring(number) + L"/" + std::to_wstring(of) + L" … " + fw::ToWide(reason));
}

// "재시도 1/10 … 38.4 MB부터 이어서".
void CDialogView::Resuming(std::int32_t number, std::int32_t of, std::uint64_t offset) {
    Status(L"재시도 " + std::to_wstring(number) + L"/" + std::to_wstring(of) + L" … " +
           ByteText(static_cast<double>(offset)) + L"부터 이어서");
}

void CDialogView::WaitingForPrevious(bool waiting) {
    Status(waiting ? L"이전 업로드를 마무리하는 중입니다..." : L"Session Connecting...");
}

void CDialogView::Ended(const UploadOutcome& outcome) { Queue({ViewEvent::Kind::kEnded, {}, 0, outcome}); }

}  // namespace tovalo::upload
