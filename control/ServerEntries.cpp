// Server entries: files the page says are already on the server (getFileShow), counted against
// the limit, and the refresh timer that applies the last text once more without counting it.
#include "control/TovaloCtrl.h"

#include "control/Extensions.h"
#include "control/MessageTexts.h"
#include "control/ServerRecords.h"
#include "control/SizeLimit.h"
#include "control/SizeText.h"
#include "framework/Text.h"

namespace tovalo {
namespace {

constexpr UINT_PTR kRefreshTimer = 257;
constexpr UINT kRefreshPeriodMs = 1000;

}  // namespace

void CTovaloCtrl::ParseFileShow(const std::string& text, bool timerPass) {
    // Without its window the control has no rows to add to (and no one to show a message to).
    if (!Hwnd()) return;
    const ListBatch batch(*this);
    for (const ServerRecord& record : ParseServerRecords(text)) {
        const std::wstring name = fw::ToWide(record.name);
        const std::wstring path = std::wstring(kServerPrefix) + fw::ToWide(record.reference);
        // A refused entry does not hold up the ones after it.
        if (timerPass) {
            RefreshServerFile(name, record.size, path);
        } else {
            AddServerFile(name, record.size, path);
        }
    }
    RearrangeRows();
}

bool CTovaloCtrl::AddServerFile(const std::wstring& name, std::uint32_t size, const std::wstring& serverPath) {
    switch (JudgeLimit({m_totalSize, m_currentSize, m_totalSize64, m_currentSize64}, size)) {
    case LimitVerdict::kFits:
        if (!InsertFileItem(SizeCategory(size), name, ExtensionOf(name), size, serverPath)) return false;
        CountSize(size);
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

bool CTovaloCtrl::RefreshServerFile(const std::wstring& name, std::uint32_t size, const std::wstring& serverPath) {
    for (std::size_t row = 0, count = m_rows.Count(); row < count; ++row) {
        if (m_rows.At(row).name == name) {
            ::InvalidateRect(Hwnd(), nullptr, TRUE);
            return false;
        }
    }
    // The refresh shows what is missing; the setter already counted (or refused) it.
    return InsertFileItem(SizeCategory(size), name, ExtensionOf(name), size, serverPath);
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
