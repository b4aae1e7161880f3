// CFileUploadSlg's session: connect, send the queue block by block, set permissions, disconnect.
// It runs synchronously inside the timer handler and keeps the window alive by dispatching the
// waiting messages after every block; the blocks grow while writes return quickly, so that the
// dialog answers within tens of milliseconds at any link speed.
#include "upload/FileUploadDlg.h"

#include "upload/BlockSize.h"
#include "upload/ErrorReport.h"
#include "upload/InetFtpChannel.h"
#include "upload/Password.h"
#include "upload/StoredName.h"
#include "upload/TlsFtpChannel.h"

#include "framework/LocalPath.h"
#include "framework/MessagePump.h"
#include "framework/Text.h"

#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

namespace tovalo::upload {

// A local file open for reading, shared with every other reader and writer; closed on every path.
class LocalFile {
public:
    explicit LocalFile(const std::wstring& path)
        : m_handle(::CreateFileW(fw::FileApiPath(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}
    ~LocalFile() {
        if (IsOpen()) ::CloseHandle(m_handle);
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Length(std::uint64_t& length) const {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_handle, &size)) return false;
        length = static_cast<std::uint64_t>(size.QuadPart);
        return true;
    }
    bool Read(void* buffer, DWORD capacity, DWORD& read) {
        return ::ReadFile(m_handle, buffer, capacity, &read, nullptr) != FALSE;
    }

private:
    HANDLE m_handle;
};

namespace {

// Messages dispatched between two blocks at most: a click, a paint and a timer need a few; a flood
// (a page's own timers, a window dragged about) waits for the next block.
constexpr std::size_t kMaxMessagesBetweenBlocks = 64;
constexpr char kAgent[] = "Tovalo";
// A character of a file name that the server's code page cannot hold, in the stored name.
constexpr char kUnstorableCharacter = '_';
// A store whose final reply came late is asked after once a second, and given up when the file
// on the server has not grown for this long.
constexpr DWORD kLateStorePollMs = 1000;
constexpr ULONGLONG kLateStoreStallMs = 30000;

std::wstring FormatStatus(int index, int count, const std::wstring& name, const std::wstring& path) {
    return L"[" + std::to_wstring(index) + L"/" + std::to_wstring(count) + L"] " + name + L" " + path;
}

// Microseconds on the performance counter (a write of a few milliseconds must be told apart from
// one of tens, finer than the system tick).
std::uint64_t NowMicros() {
    static const std::uint64_t ticksPerSecond = [] {
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<std::uint64_t>(frequency.QuadPart);
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    return ticks / ticksPerSecond * 1000000 + ticks % ticksPerSecond * 1000000 / ticksPerSecond;
}

}  // namespace

void CFileUploadSlg::RunSession() {
    m_notify.Mute(false);
    const std::string password = DecodePassword(m_strPassword);
    const int count = static_cast<int>(m_arrFiles.size());
    int sent = 0;
    m_retryBudget = RetryBudget(m_nRetryCount);
    // Each attempt has a channel of its own. One that fails part way is followed, while the
    // retry rules allow, by another that goes on from the file that failed; one whose replies
    // fell out of step (a store's late final reply) by another at once.
    for (;;) {
        m_failure.reset();
        bool connected = false;
        {
            const std::unique_ptr<IUploadChannel> owned = MakeChannel();
            IUploadChannel& channel = *owned;
            m_channel = &channel;
            const struct ChannelScope {
                IUploadChannel*& current;
                ~ChannelScope() { current = nullptr; }
            } scope{m_channel};
            channel.UsePassive(m_bPassive);
            if (!OpenChannel(channel)) {
                SetResults(0, false);
                return;
            }
            connected = ConnectChannel(channel, password);
            if (connected) {
                m_retryBudget.LoggedOn();
                DeletePartialFile(channel);
                if (m_pendingStore) {
                    const Store store = *std::exchange(m_pendingStore, std::nullopt);
                    if (CompleteStore(channel, store)) ++sent;
                }
                if (!m_failure) sent += SendQueue(channel, sent);
                channel.CloseConnection();
                channel.CloseSession();
            }
        }
        if (m_pendingStore && !m_failure && !m_bGoingAway) continue;
        const RetryDecision decision = m_failure ? DecideRetry() : RetryDecision::GiveUp;
        if (decision == RetryDecision::Retry) continue;
        if (!connected && decision == RetryDecision::GiveUp) {
            // Files sent by earlier attempts are not reported either: the session failed.
            SetResults(0, false);
            ConnectFailed();
            return;
        }
        EndSession(sent, count, decision == RetryDecision::Stopped);
        return;
    }
}

std::unique_ptr<IUploadChannel> CFileUploadSlg::MakeChannel() const {
    if (!m_bSecure) return std::make_unique<CInetFtpChannel>();
    return std::make_unique<CTlsFtpChannel>(m_strCertPin);
}

bool CFileUploadSlg::OpenChannel(IUploadChannel& channel) {
    if (channel.OpenSession(kAgent)) return true;
    ConnectFailed();
    ReportError(SessionStep::Connect);
    return false;
}

bool CFileUploadSlg::ConnectChannel(IUploadChannel& channel, const std::string& password) {
    if (channel.ConnectServer(m_strHost, m_nPort, m_strUserId, password)) return true;
    NoteFailure(SessionStep::Connect, ::GetLastError());
    ReportError(SessionStep::Connect);
    return false;
}

// No (further) file is tried; the dialog stays open until "종료".
void CFileUploadSlg::ConnectFailed() {
    SetStatus(L"Session Connect Error.");
    ShowItem(IDC_UPLOAD_END, true);
}

int CFileUploadSlg::SendQueue(IUploadChannel& channel, int first) {
    const int count = static_cast<int>(m_arrFiles.size());
    int sent = 0;
    for (int i = first; i < count && !m_bGoingAway; ++i) {
        // A failed or stopped file ends the queue; one awaiting its confirmation ends this
        // connection's part of it.
        const FileOutcome outcome = SendFile(channel, i, count);
        if (outcome != FileOutcome::Sent) break;
        ++sent;
    }
    return sent;
}

CFileUploadSlg::FileOutcome CFileUploadSlg::SendFile(IUploadChannel& channel, int index, int count) {
    const QueuedFile& queued = m_arrFiles[static_cast<size_t>(index)];
    const std::wstring& path = queued.path;
    const std::wstring name = FileNameOf(path);

    // The local file is opened before the remote one, so that a file that cannot be read leaves
    // no empty file on the server.
    LocalFile file(path);
    std::uint64_t length = 0;
    if (!file.IsOpen() || !file.Length(length)) {
        const DWORD error = ::GetLastError();
        NoteFailure(SessionStep::ReadLocalFile, error);
        ReportLocalError(SessionStep::ReadLocalFile, error, path);
        return FileOutcome::Failed;
    }
    if (!KeepsToLimits(queued, length)) return FileOutcome::Failed;
    Store store;
    store.listed = queued.listedSize;
    const std::optional<std::string> stored = m_storedNames.Take(
        CurrentTime32(), fw::ToAnsiReplacing(name, kUnstorableCharacter),
        [&](const std::string& candidate) { return ServerHolds(channel, m_strRemotePath + candidate); });
    if (!stored) {
        NoteFailure(SessionStep::NoFreeName, ERROR_FILE_EXISTS, std::string());
        ReportLocalError(
            SessionStep::NoFreeName, ERROR_FILE_EXISTS, path,
            "the server holds " + std::to_string(StoredNameBook::kMaxServerQuestions) + " names in a row for it");
        return FileOutcome::Failed;
    }
    store.stored = *stored;
    store.remotePath = m_strRemotePath + store.stored;
    store.length = length;
    if (!channel.OpenRemoteFile(store.remotePath)) {
        NoteFailure(SessionStep::OpenRemoteFile, ::GetLastError());
        ReportError(SessionStep::OpenRemoteFile);
        return FileOutcome::Failed;
    }

    ::SendMessageW(m_ctlFileProgress, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(m_ctlFileProgress, PBM_SETSTEP, 1, 0);
    ::SendMessageW(m_ctlFileProgress, PBM_SETPOS, 0, 0);
    m_ullBytesSent = 0;
    m_nLastPercent = 0;
    SetStatus(FormatStatus(index, count, name, path));
    m_ullFileLength = length;

    m_state = SessionState::kSending;
    BlocksEnd end = SendBlocks(channel, file, path);
    m_state = SessionState::kIdle;
    channel.CloseRemoteFile();
    store.sent = m_ullBytesSent;
    const std::string closeReply = Response().text;
    if (end == BlocksEnd::Complete && StoreRefused(closeReply)) {
        // All bytes went out, but the server did not keep them all: a failed write, told by the
        // reply (which WinINet reads on close and reports as no error).
        end = BlocksEnd::Failed;
        NoteFailure(SessionStep::FinishStore, ERROR_INTERNET_EXTENDED_ERROR);
        ReportError(SessionStep::FinishStore, ERROR_INTERNET_EXTENDED_ERROR);
    }
    if (end == BlocksEnd::Complete && FinalReplyMissing(closeReply)) {
        // This connection's replies are out of step now; the next one confirms the file.
        if (AwaitLateStore(channel, store)) {
            m_pendingStore = store;
            return FileOutcome::Awaiting;
        }
        end = BlocksEnd::Failed;
    }
    if (m_bGoingAway) {
        // The page went (or the thread ends) part way, between blocks or while the server was
        // still taking the file: no piece of it stays on the server.
        channel.DeleteRemoteFile(store.remotePath);
        return FileOutcome::Failed;
    }
    if (end != BlocksEnd::Complete) {
        // A file that changed as it was read leaves a part the connection can still delete.
        if (m_failure && m_failure->step == SessionStep::LocalFileChanged) {
            channel.DeleteRemoteFile(store.remotePath);
        } else {
            NotePartialFile(store.remotePath);
        }
        return FileOutcome::Failed;
    }
    return CompleteStore(channel, store) ? FileOutcome::Sent : FileOutcome::Failed;
}

bool CFileUploadSlg::ServerHolds(IUploadChannel& channel, const std::string& remotePath) {
    if (!m_bServerAnswersSize) return false;
    const ServerAnswer answer = channel.Ask("SIZE " + remotePath);
    if (!answer.answered) return false;
    const SizeReply reply = ReadSizeReply(answer.text);
    if (reply.kind == SizeReply::Kind::kNoSizeCommand) m_bServerAnswersSize = false;
    // Any 213 says that a file of that name is there, whatever it gives as its size.
    return reply.kind == SizeReply::Kind::kSize || reply.kind == SizeReply::Kind::kMalformed;
}

bool CFileUploadSlg::AwaitLateStore(IUploadChannel& channel, const Store& store) {
    // The server is still reading what the socket buffers hold, or it is gone. Asked once a
    // second, messages pumped, while the file on the server grows; a server that does not answer
    // SIZE is asked NOOP, whose answer the late final reply takes the place of.
    using Kind = LateStoreReply::Kind;
    std::uint64_t seen = 0;
    std::string lastReply = Response().text;
    ULONGLONG lastGrowth = ::GetTickCount64();
    m_state = SessionState::kWaiting;
    struct BackToIdle {
        SessionState& state;
        ~BackToIdle() { state = SessionState::kIdle; }
    } backToIdle{m_state};
    while (WaitWhileBusy(kLateStorePollMs)) {
        const ServerAnswer answer =
            channel.Ask(m_bServerAnswersSize ? "SIZE " + store.remotePath : std::string("NOOP"));
        if (!answer.answered && !answer.timedOut) break;  // the connection is gone
        const LateStoreReply reply = answer.answered ? JudgeLateStoreReply(answer.text, store.sent) : LateStoreReply{};
        if (answer.answered) lastReply = answer.text;
        switch (reply.kind) {
        case Kind::kWhole:
        case Kind::kStoredByFinalReply:
            return true;
        case Kind::kDiffers:
        case Kind::kRefused:
            RefuseStore(store, lastReply);
            return false;
        case Kind::kShort:
            if (reply.size > seen) {
                seen = reply.size;
                lastGrowth = ::GetTickCount64();
            }
            break;
        case Kind::kNoSizeCommand:
            m_bServerAnswersSize = false;
            break;
        case Kind::kNoAnswer:
            break;
        }
        if (::GetTickCount64() - lastGrowth > kLateStoreStallMs) break;
    }
    // Stopped, or the server stopped taking the file: what it holds is not the file.
    if (!m_stopRequested) RefuseStore(store, lastReply);
    return false;
}

bool CFileUploadSlg::CompleteStore(IUploadChannel& channel, const Store& store) {
    // A server may answer 226 and keep less (a quota, a full disk, a proxy): its SIZE tells.
    if (m_bServerAnswersSize) {
        const ServerAnswer answer = channel.Ask("SIZE " + store.remotePath);
        if (answer.answered && ReadSizeReply(answer.text).kind == SizeReply::Kind::kNoSizeCommand) {
            m_bServerAnswersSize = false;
        }
        if (answer.answered && JudgeStoredSize(answer.text, store.sent) == StoredSize::kDiffers) {
            RefuseStore(store, answer.text);
            NotePartialFile(store.remotePath);
            return false;
        }
    }
    AdvanceFileBar(100);  // every byte is there, also for an empty file
    ::SendMessageW(m_ctlTotalProgress, PBM_STEPIT, 0, 0);
    m_sendLimits.Sent(store.listed, store.sent);
    char sizeText[24];
    std::snprintf(sizeText, sizeof sizeText, "%" PRIu64, store.sent);
    PrependEntry(m_deliveredNames, store.stored);
    PrependEntry(m_deliveredSizes, sizeText);
    SetPermissions(channel, store.remotePath);
    return true;
}

void CFileUploadSlg::RefuseStore(const Store& store, const std::string& reply) {
    // The server's own words, and what it should have said.
    std::string text = reply;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text += " (" + std::to_string(store.sent) + " bytes sent)";
    NoteFailure(SessionStep::FinishStore, ERROR_INTERNET_EXTENDED_ERROR, text);
    ReportReply(SessionStep::FinishStore, ERROR_INTERNET_EXTENDED_ERROR, text);
}

CFileUploadSlg::BlocksEnd CFileUploadSlg::SendBlocks(IUploadChannel& channel, LocalFile& file,
                                                     const std::wstring& path) {
    // One buffer for the file, as large as its largest block can be.
    std::vector<char> buffer(
        static_cast<size_t>(std::clamp<std::uint64_t>(m_ullFileLength, BlockSizer::kSmallest, BlockSizer::kLargest)));
    BlockSizer sizer;
    // Exactly the length found when the file was opened goes out: that is the size the page is
    // told and the one the server's copy is checked against.
    std::uint64_t left = m_ullFileLength;
    while (!m_stopRequested) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>({sizer.Size(), buffer.size(), left}));
        // With nothing left, one more byte is asked for: a file that grew has it.
        if (!file.Read(buffer.data(), left == 0 ? 1 : wanted, read)) {
            const DWORD error = ::GetLastError();
            NoteFailure(SessionStep::ReadLocalFile, error);
            ReportLocalError(SessionStep::ReadLocalFile, error, path);
            return BlocksEnd::Failed;
        }
        if (left == 0 && read == 0) return BlocksEnd::Complete;
        if (left == 0 || read == 0) {
            // It grew, or it ended early: what the server holds is neither the old file nor the new.
            NoteFailure(SessionStep::LocalFileChanged, ERROR_FILE_INVALID, std::string());
            ReportLocalError(SessionStep::LocalFileChanged, ERROR_FILE_INVALID, path,
                             std::to_string(m_ullFileLength) + " bytes when opened");
            return BlocksEnd::Failed;
        }
        DWORD written = 0;
        const std::uint64_t start = NowMicros();
        if (!channel.WriteBlock(buffer.data(), read, &written) || written != read) {
            NoteFailure(SessionStep::WriteBlock, ::GetLastError());
            ReportError(SessionStep::WriteBlock);
            return BlocksEnd::Failed;
        }
        sizer.Record(read, NowMicros() - start);
        left -= read;
        m_ullBytesSent += written;
        if (m_ullFileLength != 0) {
            const std::uint64_t percent = m_ullBytesSent * 100 / m_ullFileLength;
            AdvanceFileBar(percent > 100 ? 100 : static_cast<int>(percent));
        }
        PumpBetweenBlocks();
    }
    return BlocksEnd::Stopped;
}

bool CFileUploadSlg::KeepsToLimits(const QueuedFile& queued, std::uint64_t length) {
    const SendRule rule = m_sendLimits.Judge(queued.listedSize, length);
    if (rule == SendRule::kFits) return true;
    const char* broken =
        rule == SendRule::kOverFileMaximum ? "over the largest file taken (1 GiB)" : "over the page's size limit";
    NoteFailure(SessionStep::LocalFileTooLarge, ERROR_FILE_TOO_LARGE, std::string());
    ReportLocalError(SessionStep::LocalFileTooLarge, ERROR_FILE_TOO_LARGE, queued.path,
                     std::to_string(length) + " bytes, " + broken);
    return false;
}

// The bar shows the file's real percentage; it never moves back.
void CFileUploadSlg::AdvanceFileBar(int percent) {
    if (percent <= m_nLastPercent) return;
    m_nLastPercent = percent;
    ::SendMessageW(m_ctlFileProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void CFileUploadSlg::SetPermissions(IUploadChannel& channel, const std::string& remotePath) {
    // A refusal is reported; the file stays counted as sent.
    if (!channel.SiteCommand("chmod 777 " + remotePath)) ReportError(SessionStep::SetPermissions);
}

void CFileUploadSlg::EndSession(int sent, int count, bool stopped) {
    SetStatus(L"Session Disconnecting.");
    const int result = sent == count && !stopped ? 1 : 0;
    if (result == 0) ShowItem(IDC_UPLOAD_END, true);
    if (count > 0 && sent == count && !stopped) {
        SetResults(result, true);
        CloseSelf();  // the last file ended normally
        return;
    }
    // Stopped, failed, or nothing was queued. The log buttons keep the dialog open, unless the
    // page or the thread is going away.
    SetResults(result, false);
    if (m_bShowLogButton == 0 || m_bGoingAway) CloseSelf();
}

void CFileUploadSlg::SetResults(int result, bool delivered) {
    m_state = SessionState::kEnded;
    m_nUploadResult = result;
    m_strUploadedFiles = delivered ? m_deliveredNames : std::string();
    m_strUploadedSizes = delivered ? m_deliveredSizes : std::string();
}

bool CFileUploadSlg::Busy() const { return m_state == SessionState::kSending || m_state == SessionState::kWaiting; }

void CFileUploadSlg::PumpBetweenBlocks() {
    if (fw::DispatchWaiting(kMaxMessagesBetweenBlocks) == fw::Pump::kQuit) OnQuit();
}

bool CFileUploadSlg::WaitWhileBusy(DWORD ms) {
    if (fw::DispatchFor(ms, [this] { return !m_stopRequested; }) == fw::Pump::kQuit) OnQuit();
    return !m_stopRequested;
}

// The thread is ending: the session stops as a stopped one and the dialog goes (the modal loop
// meets the WM_QUIT posted again, and hands it on).
void CFileUploadSlg::OnQuit() {
    m_bGoingAway = true;
    m_stopRequested = true;
}

LastResponse CFileUploadSlg::Response() const { return m_channel ? m_channel->Response() : LastResponse{}; }

void CFileUploadSlg::SendReport(SessionStep step, std::int32_t error, const std::string& text) {
    const std::string said = m_bSecure ? SecureReportText(StepText(step), LastReplyCode(text)) : text;
    if (m_lastReport && m_lastReport->first == error && m_lastReport->second == said) return;
    m_lastReport.emplace(error, said);
    m_errorSocket.Report(error, said, ReportHost(), kReportPort);
}

void CFileUploadSlg::ReportError(SessionStep step, std::optional<DWORD> error) {
    const LastResponse response = Response();
    SendReport(step, error ? static_cast<std::int32_t>(*error) : response.error, response.text);
}

void CFileUploadSlg::ReportReply(SessionStep step, DWORD error, const std::string& reply) {
    SendReport(step, static_cast<std::int32_t>(error), reply);
}

void CFileUploadSlg::ReportLocalError(SessionStep step, DWORD error, const std::wstring& path,
                                      const std::string& detail) {
    SendReport(step, static_cast<std::int32_t>(error),
               "local file: " + fw::ToAnsi(path) + (detail.empty() ? std::string() : " (" + detail + ")"));
}

}  // namespace tovalo::upload
