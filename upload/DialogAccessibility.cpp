// The upload dialog for screen readers (see DialogAccessibility.h). The names are what a listener
// needs to act: the letters on the buttons mean nothing when spoken, a bar without a name is
// "progress bar" twice, and the session's last status line ("Session Disconnecting.") reads the
// same whether the files went or not.
#include "upload/DialogAccessibility.h"

#include "framework/AccessibleText.h"
#include "res/resource.h"

namespace tovalo::upload {
namespace {

constexpr wchar_t kStatusLine[] = L"업로드 상태";

struct SpokenControl {
    int id;
    const wchar_t* name;  // nullptr: the control's own text, as it changes
    const wchar_t* description;
};
const SpokenControl kSpoken[] = {
    {IDC_UPLOAD_STOP, L"업로드 중지", L"화면의 S 단추: 파일 보내기를 멈춥니다."},
    {IDC_UPLOAD_FILE, L"현재 파일", L"지금 보내는 파일이 얼마나 갔는지"},
    {IDC_UPLOAD_TOTAL, L"전체", L"보낼 파일 가운데 몇 개를 보냈는지"},
    {IDC_UPLOAD_LOG, L"전송 기록", L"서버와 주고받은 명령과 응답"},
    {IDC_UPLOAD_STATUS, nullptr, kStatusLine},
    {IDC_UPLOAD_RATE, nullptr, L"전송 속도와 남은 시간"},
};
constexpr wchar_t kShowLog[] = L"전송 기록 보기";
constexpr wchar_t kFoldLog[] = L"접기";
constexpr wchar_t kLogButton[] = L"화면의 L 단추: 전송 기록을 펼치거나 접습니다.";

}  // namespace

std::wstring SpokenOutcome(const UploadOutcome& outcome, std::size_t queued) {
    if (outcome.connectFailed) return L"서버에 연결하지 못했습니다.";
    if (outcome.stopped == StopReason::kUser) return L"업로드를 멈췄습니다.";
    if (outcome.result != 1) return L"업로드하지 못했습니다.";
    if (queued == 0) return L"업로드를 마쳤습니다. 보낼 파일이 없었습니다.";
    return L"업로드를 마쳤습니다. 파일 " + std::to_wstring(queued) + L"개를 모두 보냈습니다.";
}

void DialogAccessibility::Attach(HWND dialog, bool logFolded) {
    dialog_ = dialog;
    for (const SpokenControl& control : kSpoken) {
        fw::SetAccessibleText(::GetDlgItem(dialog, control.id), control.name ? control.name : L"", control.description);
    }
    LogFolded(logFolded);
    fw::MarkLiveRegion(::GetDlgItem(dialog, IDC_UPLOAD_STATUS));
}

void DialogAccessibility::Detach() {
    if (dialog_) fw::ClearAnnotations(::GetDlgItem(dialog_, IDC_UPLOAD_STATUS));
    dialog_ = nullptr;
}

void DialogAccessibility::StatusShown(std::wstring_view text) {
    if (!dialog_) return;
    HWND status = ::GetDlgItem(dialog_, IDC_UPLOAD_STATUS);
    // Until the outcome is known the name follows the line's text.
    fw::SetAccessibleText(status, outcome_.empty() ? std::wstring() : std::wstring(text) + L" " + outcome_,
                          kStatusLine);
    fw::AnnounceNameChange(status);
}

void DialogAccessibility::LogFolded(bool folded) {
    if (!dialog_) return;
    HWND button = ::GetDlgItem(dialog_, IDC_UPLOAD_TOGGLE_LOG);
    fw::SetAccessibleText(button, folded ? kShowLog : kFoldLog, kLogButton);
    fw::AnnounceNameChange(button);
}

void DialogAccessibility::Ended(const UploadOutcome& outcome, std::size_t queued) {
    outcome_ = SpokenOutcome(outcome, queued);
}

}  // namespace tovalo::upload
