// Server entries: files the page says are already on the server (getFileShow), counted against
// the limit, and the refresh timer that applies the last text once more without counting it.
#include "control/TovaloCtrl.h"

#include "control/MessageTexts.h"
#include "control/ServerRecords.h"
#include "framework/Text.h"

namespace tovalo {
namespace {

constexpr UINT_PTR kRefreshTimer = 257;
constexpr UINT kRefreshPeriodMs = 1000;

}  // namespace

void CTovaloCtrl::ParseFileShow(const std::string& text, bool timerPass) {
    // Without its window the control has no rows to add to (and no one to show a message to).
    if (!Hwnd()) return;
    const FileListRows::Batch batch(m_list);
    for (const ServerRecord& record : ParseServerRecords(text)) {
        FileRow entry{
            std::wstring(kServerPrefix) + fw::ToWide(record.reference), fw::ToWide(record.name), {}, record.size};
        entry.kind = FileRow::Kind::kServerEntry;
        // A refused entry does not hold up the ones after it.
        if (timerPass) {
            RefreshServerFile(std::move(entry));
        } else {
            AddServerFile(std::move(entry));
        }
    }
    m_list.Arrange();
}

bool CTovaloCtrl::AddServerFile(FileRow entry) {
    const std::uint32_t size = entry.size;
    switch (m_limit.Judge(size)) {
    case LimitVerdict::kFits:
        if (!InsertFileItem(std::move(entry))) return false;
        m_limit.Add(size);
        return true;
    case LimitVerdict::kOverLimit:
        Tell(msg::kOverLimit);
        return false;
    case LimitVerdict::kNoLimit:
        Tell(msg::kNoLimitEntry);
        return false;
    }
    return false;
}

bool CTovaloCtrl::RefreshServerFile(FileRow entry) {
    const FileRows& rows = m_list.Rows();
    for (std::size_t row = 0, count = rows.Count(); row < count; ++row) {
        if (rows.At(row).name == entry.name) {
            ::InvalidateRect(Hwnd(), nullptr, TRUE);
            return false;
        }
    }
    // The refresh shows what is missing; the setter already counted (or refused) it.
    return InsertFileItem(std::move(entry));
}

void CTovaloCtrl::SetFileShow(const std::string& text) {
    ParseFileShow(text, false);
    m_pendingFileShow = text;
}

void CTovaloCtrl::UpdateHideIcons() {
    if (HWND list = Hwnd()) ::SetTimer(list, kRefreshTimer, kRefreshPeriodMs, nullptr);
}

LRESULT CTovaloCtrl::OnTimer(WPARAM wp, LPARAM lp) {
    if (wp != kRefreshTimer) return DefaultWindowProc(WM_TIMER, wp, lp);
    if (m_pendingFileShow.empty()) return 0;
    ::KillTimer(Hwnd(), kRefreshTimer);
    // Taken out first: the pass may show nothing, but it must run once only.
    const std::string text = std::move(m_pendingFileShow);
    m_pendingFileShow.clear();
    ParseFileShow(text, true);
    return 0;
}

}  // namespace tovalo
