// CDialogView: the session's events queued for the dialog's thread (see DialogView.h).
#include "upload/DialogView.h"

#include "upload/ErrorReport.h"
#include "upload/ErrorSocket.h"

#include <utility>

namespace tovalo::upload {

CDialogView::CDialogView(HWND dialog, UINT message) : m_dialog(dialog), m_message(message) {}

std::vector<ViewEvent> CDialogView::Take() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_posted = false;
    return std::exchange(m_events, {});
}

void CDialogView::Detach() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_dialog = nullptr;
    m_events.clear();
}

void CDialogView::Queue(ViewEvent event) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_dialog) return;
    // Progress is the one event that comes in floods: only the latest of a run counts.
    if (event.kind == ViewEvent::Kind::kFileProgress && !m_events.empty() &&
        m_events.back().kind == ViewEvent::Kind::kFileProgress) {
        m_events.back() = std::move(event);
        return;
    }
    m_events.push_back(std::move(event));
    if (!m_posted) m_posted = ::PostMessageW(m_dialog, m_message, 0, 0) != FALSE;
}

void CDialogView::Status(const std::wstring& text) { Queue({ViewEvent::Kind::kStatus, text, {}, 0, 0, {}}); }
void CDialogView::FileStarted() { Queue({ViewEvent::Kind::kFileStarted, {}, {}, 0, 0, {}}); }
void CDialogView::FileProgress(int percent) { Queue({ViewEvent::Kind::kFileProgress, {}, {}, percent, 0, {}}); }
void CDialogView::FileStored() { Queue({ViewEvent::Kind::kFileStored, {}, {}, 0, 0, {}}); }
void CDialogView::LogLine(const std::string& line) { Queue({ViewEvent::Kind::kLogLine, {}, line, 0, 0, {}}); }
void CDialogView::Rate(const std::wstring& text) { Queue({ViewEvent::Kind::kRate, text, {}, 0, 0, {}}); }

void CDialogView::Report(std::int32_t error, const std::string& text) {
    if (!m_reportAddress) m_reportAddress = ResolveIPv4(ReportHost());
    Queue({ViewEvent::Kind::kReport, {}, text, error, *m_reportAddress, {}});
}

void CDialogView::Ended(const UploadOutcome& outcome) { Queue({ViewEvent::Kind::kEnded, {}, {}, 0, 0, outcome}); }

}  // namespace tovalo::upload
