// CFileUploadSlg: the modal upload dialog (resource 209). One second after it shows, its timer runs
// the whole session: connect, send every queued file in blocks that grow and shrink with the link
// (1 KiB to 256 KiB) through the WinINet channel, set each stored file's permissions, disconnect;
// with a status line, two bars, a stop button and error reports. The control reads back the
// result and the stored names and sizes.
#pragma once

#include "framework/Dialog.h"
#include "ftp/FtpClient.h"
#include "upload/ErrorNotify.h"
#include "upload/ErrorSocket.h"
#include "upload/RetryPolicy.h"
#include "upload/SendLimits.h"
#include "upload/StoredName.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace tovalo::upload {

class IUploadChannel;
class LocalFile;
struct LastResponse;

class CFileUploadSlg final : public fw::Dialog {
public:
    // The account as the page gave it: the password in its code-group form; remotePath is put in
    // front of every stored name unchanged. Port 0 means FTP's own port, 21.
    CFileUploadSlg(std::string host, std::uint32_t port, std::string userId, std::string password,
                   std::string remotePath, HWND parent = nullptr);
    ~CFileUploadSlg() override;

    // Queues one local path with the size the list counted for it; files are sent in the order
    // they were added.
    void AddFile(const std::wstring& path, std::uint64_t listedSize) { m_arrFiles.push_back({path, listedSize}); }
    // The size rules that each file must keep to as it is found when opened to be sent (none
    // unless set).
    void SetLimits(const SendLimits& limits) { m_sendLimits = limits; }
    INT_PTR DoModal() { return RunModal(); }

    // The page that started the upload is going away (the control's window is being destroyed):
    // the session stops at its next block, as after "S", and starts no further step.
    void Abandon();

    // Set by the control before the dialog runs: how many times one session may retry after a
    // transient failure (0: none, every step is tried once).
    std::int32_t m_nRetryCount = 10;
    // Non-zero shows "L" and "S" and keeps the dialog open after a stopped, failed or empty session.
    std::uint32_t m_bShowLogButton = 0;
    // The session over explicit FTPS (the project's own client) instead of WinINet's plain FTP,
    // and the certificate's SHA-256 pin for it (as the page gave it; empty: the trust store).
    bool m_bSecure = false;
    std::string m_strCertPin;

    // Read by the control afterwards, set once when the session ends: 1 when every queued file was
    // sent; the stored names and their sizes, "|"-joined, newest first (both empty unless every
    // file was delivered).
    std::int32_t m_nUploadResult = 0;
    std::string m_strUploadedFiles;
    std::string m_strUploadedSizes;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    void OnCancel() override;

private:
    struct QueuedFile {
        std::wstring path;
        std::uint64_t listedSize;
    };

    // Handlers: while the session runs they only ask it to stop or change the window's size; the
    // session acts on a stop between two steps.
    void OnTimer(UINT_PTR id);
    bool OnSysCommand(WPARAM command);
    void OnToggleLog();
    void OnStopTransfer();
    void OnEndSession();
    void OnDestroy();

    // The session and its steps (FileUploadSession.cpp).
    void RunSession();
    std::unique_ptr<IUploadChannel> MakeChannel() const;
    bool OpenChannel(IUploadChannel& channel);
    bool ConnectChannel(IUploadChannel& channel, const std::string& password);
    void ConnectFailed();
    int SendQueue(IUploadChannel& channel, int first);
    // How a file's block loop ended.
    enum class BlocksEnd { Complete, Failed, Stopped };
    // A file's store. Sent: counted. Failed: failed or stopped, the queue ends. Awaiting: every
    // byte went out but the server's final reply came late; the file is counted once a fresh
    // connection has confirmed it (m_pendingStore).
    enum class FileOutcome { Sent, Failed, Awaiting };
    FileOutcome SendFile(IUploadChannel& channel, int index, int count);
    BlocksEnd SendBlocks(IUploadChannel& channel, LocalFile& file, const std::wstring& path);
    // Whether the file, as found when opened, keeps to the size rules; reported when it does not.
    bool KeepsToLimits(const QueuedFile& queued, std::uint64_t length);
    // A store that ended: the file's stored name, where it went, and what was sent.
    struct Store {
        std::string stored;
        std::string remotePath;
        std::uint64_t sent = 0;
        std::uint64_t length = 0;  // as found when the file was opened
        std::uint64_t listed = 0;  // as the list counted it
    };
    bool ServerHolds(IUploadChannel& channel, const std::string& remotePath);
    bool AwaitLateStore(IUploadChannel& channel, const Store& store);
    bool CompleteStore(IUploadChannel& channel, const Store& store);
    void RefuseStore(const Store& store, const std::string& reply);
    void AdvanceFileBar(int percent);
    void SetPermissions(IUploadChannel& channel, const std::string& remotePath);
    void EndSession(int sent, int count, bool stopped);
    // The session's results, set once, as it ends: the result, and whether the stored names and
    // sizes of the files it delivered are handed to the control.
    void SetResults(int result, bool delivered);
    // Lets the thread's waiting messages through between two blocks (a bounded number, so that a
    // flood of them cannot starve the transfer).
    void PumpBetweenBlocks();
    // Runs the dialog's messages for up to ms milliseconds as the session waits (state kWaiting);
    // false once a stop was asked for.
    bool WaitWhileBusy(DWORD ms);
    void OnQuit();
    // Whether a click on "S" or the close question stops the session now: it is sending a file's
    // blocks, or waiting (for a store's late reply, or before a retry).
    bool Busy() const;

    // The current attempt's channel's last response (nothing between attempts).
    LastResponse Response() const;
    // Error reports: the channel's last response after a failed step (with its error number,
    // or the one given), a reply the session judged, or a local file's error.
    // A report equal to the last one sent in this session (the same error and text: every attempt
    // against a server that is not there) is not sent again.
    // Over FTPS a report names no file and quotes no reply: it goes over plain HTTP, and the
    // names and paths are what the secure channel kept from the network.
    void SendReport(SessionStep step, std::int32_t error, const std::string& text);
    void ReportError(SessionStep step, std::optional<DWORD> error = std::nullopt);
    void ReportReply(SessionStep step, DWORD error, const std::string& reply);
    void ReportLocalError(SessionStep step, DWORD error, const std::wstring& path, const std::string& detail = {});

    // Retries (SessionRetry.cpp): a failed step is noted where it fails; after the attempt the
    // session judges it and, while retries are left, waits, reconnects and goes on from the file
    // that failed.
    enum class RetryDecision { Retry, GiveUp, Stopped };
    struct FailedStep {
        SessionStep step;
        DWORD error;           // GetLastError right after the failed call
        std::string response;  // WinINet's last response then
    };
    void NoteFailure(SessionStep step, DWORD error);
    void NoteFailure(SessionStep step, DWORD error, std::string response);
    void NotePartialFile(const std::string& remotePath);
    RetryDecision DecideRetry();
    bool WaitBeforeRetry(unsigned seconds);
    void DeletePartialFile(IUploadChannel& channel);

    void CloseSelf();
    void SetStatus(std::wstring_view text);
    void ShowItem(int id, bool show);

    // The transfer log: a socket-level FTP client that the session never starts, and its observer.
    nsFTP::CFTPClient m_ftpClient{100, 2048, true};
    CErrorNotify m_notify;

    bool m_bLogHidden = false;
    std::string m_strHost;
    std::uint32_t m_nPort;
    std::string m_strUserId;
    std::string m_strPassword;
    std::string m_strRemotePath;
    std::vector<QueuedFile> m_arrFiles;
    SendLimits m_sendLimits;

    HWND m_ctlFileProgress = nullptr;   // 203: the current file, 0 to 100
    HWND m_ctlTotalProgress = nullptr;  // 201: the whole queue, one step per file
    CErrorSocket m_errorSocket;

    std::uint64_t m_ullBytesSent = 0;
    std::uint64_t m_ullFileLength = 0;
    std::int32_t m_nLastPercent = 0;

    // What the session is doing, as the handlers that run inside its pumps see it: kIdle before
    // it starts and between its steps (no pump of its own runs then), kSending a file's blocks,
    // kWaiting for a late reply or a retry, kEnded once its results are set.
    enum class SessionState { kIdle, kSending, kWaiting, kEnded };
    SessionState m_state = SessionState::kIdle;
    // "S", a yes to the close question, the page or the thread going away. Asked for only while
    // the session is busy, and never withdrawn.
    bool m_stopRequested = false;
    // The delivered files' stored names and sizes, newest first, until the session ends.
    std::string m_deliveredNames;
    std::string m_deliveredSizes;

    IUploadChannel* m_channel = nullptr;  // the current attempt's
    std::optional<FailedStep> m_failure;  // of the current attempt
    std::string m_strPartialRemotePath;   // left by a lost data connection, removed on the retry
    StoredNameBook m_storedNames;
    bool m_bServerAnswersSize = true;  // until it says it does not know SIZE
    std::optional<std::pair<std::int32_t, std::string>> m_lastReport;
    std::optional<Store> m_pendingStore;  // confirmed on the next connection (FileOutcome::Awaiting)
    RetryBudget m_retryBudget{0};         // made from m_nRetryCount when the session starts
    bool m_bPassive = false;              // after active mode failed: passive for the rest
    // The page or the thread is going away (Abandon, WM_QUIT): no further step, no retry.
    bool m_bGoingAway = false;
};

}  // namespace tovalo::upload
