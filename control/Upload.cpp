// The upload run started by setting startUpload to "start": the checks, the queue handed to the
// upload dialog, the server entries' result entries, and the merged results afterwards.
#include "control/TovaloCtrl.h"

#include "control/MessageTexts.h"
#include "control/ServerRecords.h"
#include "control/SizeLimit.h"
#include "framework/Dialog.h"
#include "framework/LocalPath.h"
#include "framework/Text.h"
#include "upload/FileUploadDlg.h"
#include "upload/StoredName.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <vector>

namespace tovalo {
namespace {

// A character of a file name that the server's code page cannot hold, in the stored name.
constexpr char kUnstorableCharacter = '_';

// Compatibility: a server entry's texts come back to the page cut to 259 bytes in the system code
// page, the reference with its path column's "^^^" (whole characters only); pages keep what they
// get back. A local path is read whole: cut short, it would name another file.
constexpr size_t kServerTextBytes = 259;

std::string ServerText(const std::wstring& text) { return fw::ToAnsiPrefix(text, kServerTextBytes); }

// "T(reference<>name)" for a row whose path column holds "^^^reference".
std::string ServerResultEntry(const std::string& path, const std::string& name) {
    return upload::StoredName(upload::CurrentTime32(), path.substr(kServerPrefix.size()) + "<>" + name);
}

// One upload at a time in the whole process: a second control on the page (or in another tab of
// the same browser process) must not start an upload inside the dialog of the first. The thread of
// a stopped session may still clean up after the dialog has gone (a WinINet close can wait half a
// minute for a slow server): it holds the module, not the slot, so that the user's next upload
// starts at once.
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

// "name|name|...", newest first, of the stored files in the order they were sent.
std::string Joined(const std::vector<upload::StoredFile>& stored, bool sizes) {
    std::string list;
    for (const upload::StoredFile& file : stored) {
        upload::PrependEntry(list, sizes ? std::to_string(file.size) : file.name);
    }
    return list;
}

}  // namespace

void CTovaloCtrl::StartUpload() {
    // Every start empties the results first, whatever becomes of it: a page that sends its mail
    // after a start that sent nothing must not attach the files of the upload before. A start that
    // is refused answers 0; an empty list, with nothing to send, 1.
    m_retFiles.clear();
    m_retFilesize.clear();
    m_uploadResult = 0;
    // A start that reaches the control through the dialog's own message loop would send the same
    // rows a second time from a dialog inside the first: only one upload runs at a time.
    if (m_uploading) return;
    UploadSlot slot;
    if (!slot.Taken()) return;
    if (m_limit.Exceeded()) {
        fw::ShowMessageBox(msg::kOverLimit);
        return;
    }
    HWND list = Hwnd();
    if (!list) return;
    if (m_list.Rows().Empty()) {
        m_uploadResult = 1;
        return;
    }
    if (m_ftpHost.empty() || m_ftpId.empty() || m_ftpPass.empty()) {
        fw::ShowMessageBox(msg::kNoAccount);
        return;
    }

    m_uploading = true;
    m_uploadResult = 1;
    upload::UploadRequest request;
    request.host = m_ftpHost;
    request.port = m_ftpPort;
    request.user = m_ftpId;
    request.password = m_ftpPass;
    request.remotePath = m_uploadPath;
    // A count of 2^31 or more asks for the most retries there are, not for a negative count that
    // would turn them off.
    request.retryCount =
        static_cast<std::int32_t>(std::min<std::uint32_t>(m_retryCount, std::numeric_limits<std::int32_t>::max()));
    request.secure = m_ftpSecure != 0;
    request.certPin = m_ftpCertPin;
    request.resume = m_resumeUploads != 0;
    // The rules each file was listed under hold again when it is opened to be sent: it may have
    // grown since.
    request.limits = upload::SendLimits(kMaxFileSize, m_limit.LimitInForce(), m_limit.CountedInForce());
    // The server entries' result entries, kept here until the upload's own come in front of them:
    // a start that comes in through the dialog's loop empties the results meanwhile.
    std::string serverEntries;
    const FileRows& rows = m_list.Rows();
    for (std::size_t at = 0, count = rows.Count(); at < count; ++at) {
        const FileRow& row = rows.At(at);
        if (!row.IsServerEntry()) {
            request.files.push_back({row.path, fw::ToAnsiReplacing(fw::FileNameOf(row.path), kUnstorableCharacter),
                                     fw::ToAnsi(row.path), row.size});
        } else {
            upload::PrependEntry(serverEntries, ServerResultEntry(ServerText(row.path), ServerText(row.name)));
        }
    }

    // Owned by the container's top-level window, as the file dialogs are: the page behind it is
    // disabled while it runs.
    upload::CFileUploadSlg dialog(std::move(request), ::GetAncestor(list, GA_ROOT));
    dialog.m_bShowLogButton = m_showLogButton;
    {
        const ModalScope modal(InPlaceFrame());
        m_activeUpload = &dialog;
        dialog.DoModal();
        m_activeUpload = nullptr;
    }
    const upload::UploadOutcome outcome = dialog.Outcome();
    m_uploadResult = static_cast<std::uint32_t>(outcome.result);
    m_uploading = false;

    m_retFiles = Merge(Joined(outcome.stored, false), serverEntries);
    m_retFilesize = Joined(outcome.stored, true);
    // Only a delivered upload empties the list: after a failure or a stop the user's files stay,
    // server entries included, to be sent again (the server entries' result entries are in
    // retFiles all the same).
    if (m_uploadResult == 1) {
        // The window as it is now: the page may have gone while the dialog ran.
        m_list.Clear();
        m_limit.Clear();
    }
}

}  // namespace tovalo
