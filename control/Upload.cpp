// The upload run started by setting startUpload to "start": the checks, the queue handed to the
// upload dialog, the server entries' result entries, and the merged results afterwards.
#include "control/TovaloCtrl.h"

#include "control/FileListRules.h"
#include "framework/Dialog.h"
#include "framework/Text.h"
#include "upload/FileUploadDlg.h"
#include "upload/StoredName.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace tovalo {
namespace {

// A server entry's texts count up to 259 bytes in the system code page, as the page has always
// got them back (whole characters only). A local path is read whole: cut short, it would name
// another file.
constexpr size_t kServerTextBytes = 259;

std::string ServerText(const std::wstring& text) { return fw::ToAnsiPrefix(text, kServerTextBytes); }

// "T(reference<>name)" for a row whose path column holds "^^^reference".
std::string ServerResultEntry(const std::string& path, const std::string& name) {
    return upload::StoredName(upload::CurrentTime32(), path.substr(kServerPrefix.size()) + "<>" + name);
}

// One upload at a time in the whole process: a second control on the page (or in another tab of
// the same browser process) must not start an upload inside the dialog of the first.
std::atomic<bool> g_uploadRunning{false};

class UploadSlot {
public:
    UploadSlot() : taken_(!g_uploadRunning.exchange(true)) {}
    ~UploadSlot() {
        if (taken_) g_uploadRunning = false;
    }
    UploadSlot(const UploadSlot&) = delete;
    UploadSlot& operator=(const UploadSlot&) = delete;
    bool Taken() const { return taken_; }

private:
    bool taken_;
};

// The container is told that a modal dialog runs (no modeless windows of its own meanwhile), and
// told again when it is over, on the frame it was told first.
class ModalScope {
public:
    explicit ModalScope(IOleInPlaceFrame* frame) : frame_(frame) {
        if (frame_) frame_->EnableModeless(FALSE);
    }
    ~ModalScope() {
        if (frame_) frame_->EnableModeless(TRUE);
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    fw::ComPtr<IOleInPlaceFrame> frame_;
};

// "new|old", or either alone when the other is empty; never a leading "|".
std::string Merge(const std::string& first, const std::string& rest) {
    std::string merged = rest.empty() ? first : first + "|" + rest;
    if (!merged.empty() && merged.front() == '|') merged.erase(0, 1);
    return merged;
}

}  // namespace

void CTovaloCtrl::StartUpload() {
    // A start that reaches the control through the dialog's own message loop would send the same
    // rows a second time from a dialog inside the first: only one upload runs at a time.
    if (m_uploading) return;
    UploadSlot slot;
    if (!slot.Taken()) return;
    if (m_currentSize > m_totalSize || m_currentSize64 > m_totalSize64) {
        fw::ShowMessageBox(L"파일 크기가 제한된 용량을 초과하였습니다.");
        return;
    }
    HWND list = Hwnd();
    if (!list || m_rows.Empty()) return;
    if (m_ftpHost.empty() || m_ftpId.empty() || m_ftpPass.empty()) {
        fw::ShowMessageBox(L"FTP 정보가 없습니다.");
        return;
    }

    m_uploading = true;
    m_uploadResult = 1;
    // Owned by the container's top-level window, as the file dialogs are: the page behind it is
    // disabled while it runs.
    upload::CFileUploadSlg dialog(m_ftpHost, m_ftpPort, m_ftpId, m_ftpPass, m_uploadPath, ::GetAncestor(list, GA_ROOT));
    // A count of 2^31 or more asks for the most retries there are, not for a negative count that
    // would turn them off.
    dialog.m_nRetryCount =
        static_cast<std::int32_t>(std::min<std::uint32_t>(m_retryCount, std::numeric_limits<std::int32_t>::max()));
    dialog.m_bShowLogButton = m_showLogButton;
    dialog.m_bSecure = m_ftpSecure != 0;
    dialog.m_strCertPin = m_ftpCertPin;
    // The rules each file was listed under hold again when it is opened to be sent: it may have
    // grown since.
    if (m_totalSize != 0) {
        dialog.SetLimits(upload::SendLimits(kMaxFileSize, m_totalSize, m_currentSize));
    } else {
        dialog.SetLimits(upload::SendLimits(kMaxFileSize, m_totalSize64, m_currentSize64));
    }
    m_retFiles.clear();
    m_retFilesize.clear();
    for (std::size_t at = 0, count = m_rows.Count(); at < count; ++at) {
        const FileRow& row = m_rows.At(at);
        if (!row.IsServerEntry()) {
            dialog.AddFile(row.path, row.size);
        } else {
            upload::PrependEntry(m_retFiles, ServerResultEntry(ServerText(row.path), ServerText(row.name)));
        }
    }

    {
        const ModalScope modal(InPlaceFrame());
        m_activeUpload = &dialog;
        dialog.DoModal();
        m_activeUpload = nullptr;
    }
    m_uploadResult = static_cast<std::uint32_t>(dialog.m_nUploadResult);
    m_uploading = false;

    m_retFiles = Merge(dialog.m_strUploadedFiles, m_retFiles);
    m_retFilesize = Merge(dialog.m_strUploadedSizes, m_retFilesize);
    // Only a delivered upload empties the list: after a failure or a stop the user's files stay,
    // server entries included, to be sent again (the server entries' result entries are in
    // retFiles all the same).
    if (m_uploadResult == 1) {
        // The window as it is now: the page may have gone while the dialog ran.
        ClearRows();
        m_currentSize = 0;
        m_currentSize64 = 0;
    }
}

}  // namespace tovalo
