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
    ReportError();
    return false;
}

bool CFileUploadSlg::ConnectChannel(IUploadChannel& channel, const std::string& password) {
    if (channel.ConnectServer(m_strHost, m_nPort, m_strUserId, password)) return true;
    NoteFailure(SessionStep::Connect, ::GetLastError());
    ReportError();
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
    const std::wstring& path = m_arrFiles[static_cast<size_t>(index)];
    const std::wstring name = FileNameOf(path);

    // The local file is opened before the remote one, so that a file that cannot be read leaves
    // no empty file on the server.
    LocalFile file(path);
    std::uint64_t length = 0;
    if (!file.IsOpen() || !file.Length(length)) {
        const DWORD error = ::GetLastError();
        NoteFailure(SessionStep::ReadLocalFile, error);
        ReportLocalError(error, path);
        return FileOutcome::Failed;
    }
    Store store;
    store.stored =
        m_storedNames.Take(CurrentTime32(), fw::ToAnsiReplacing(name, kUnstorableCharacter),
                           [&](const std::string& stored) { return ServerHolds(channel, m_strRemotePath + stored); });
    store.remotePath = m_strRemotePath + store.stored;
    store.length = length;
    if (!channel.OpenRemoteFile(store.remotePath)) {
        NoteFailure(SessionStep::OpenRemoteFile, ::GetLastError());
        ReportError();
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
        ReportError(ERROR_INTERNET_EXTENDED_ERROR);
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
        NotePartialFile(store.remotePath);
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
    return reply.kind == SizeReply::Kind::kSize;
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
    char sizeText[24];
    std::snprintf(sizeText, sizeof sizeText, "%" PRIu64, store.length);
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
    ReportReply(ERROR_INTERNET_EXTENDED_ERROR, text);
}

CFileUploadSlg::BlocksEnd CFileUploadSlg::SendBlocks(IUploadChannel& channel, LocalFile& file,
                                                     const std::wstring& path) {
    // One buffer for the file, as large as its largest block can be.
    std::vector<char> buffer(
        static_cast<size_t>(std::clamp<std::uint64_t>(m_ullFileLength, BlockSizer::kSmallest, BlockSizer::kLargest)));
    BlockSizer sizer;
    while (!m_stopRequested) {
        DWORD read = 0;
        const DWORD wanted = std::min<DWORD>(sizer.Size(), static_cast<DWORD>(buffer.size()));
        if (!file.Read(buffer.data(), wanted, read)) {
            const DWORD error = ::GetLastError();
            NoteFailure(SessionStep::ReadLocalFile, error);
            ReportLocalError(error, path);
            return BlocksEnd::Failed;
        }
        if (read == 0) return BlocksEnd::Complete;
        DWORD written = 0;
        const std::uint64_t start = NowMicros();
        if (!channel.WriteBlock(buffer.data(), read, &written)) {
            NoteFailure(SessionStep::WriteBlock, ::GetLastError());
            ReportError();
            return BlocksEnd::Failed;
        }
        sizer.Record(read, NowMicros() - start);
        m_ullBytesSent += written;
        if (m_ullFileLength != 0) {
            const std::uint64_t percent = m_ullBytesSent * 100 / m_ullFileLength;
            AdvanceFileBar(percent > 100 ? 100 : static_cast<int>(percent));
        }
        PumpBetweenBlocks();
    }
    return BlocksEnd::Stopped;
}

// The bar shows the file's real percentage; it never moves back.
void CFileUploadSlg::AdvanceFileBar(int percent) {
    if (percent <= m_nLastPercent) return;
    m_nLastPercent = percent;
    ::SendMessageW(m_ctlFileProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void CFileUploadSlg::SetPermissions(IUploadChannel& channel, const std::string& remotePath) {
    // A refusal is reported; the file stays counted as sent.
    if (!channel.SiteCommand("chmod 777 " + remotePath)) ReportError();
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

void CFileUploadSlg::SendReport(std::int32_t error, const std::string& text) {
    if (m_lastReport && m_lastReport->first == error && m_lastReport->second == text) return;
    m_lastReport.emplace(error, text);
    m_errorSocket.Report(error, text, ReportHost(), kReportPort);
}

void CFileUploadSlg::ReportError(std::optional<DWORD> error) {
    const LastResponse response = Response();
    SendReport(error ? static_cast<std::int32_t>(*error) : response.error, response.text);
}

void CFileUploadSlg::ReportReply(DWORD error, const std::string& reply) {
    SendReport(static_cast<std::int32_t>(error), reply);
}

void CFileUploadSlg::ReportLocalError(DWORD error, const std::wstring& path) {
    SendReport(static_cast<std::int32_t>(error), "local file: " + fw::ToAnsi(path));
}

}  // namespace tovalo::upload
