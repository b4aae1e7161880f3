// The portable behaviour of the blocking sockets: waits, exceptions, name look-ups, the line reader.
#include "ftp/BlockingSocket.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "ftp/SocketPlatform.h"

namespace nsSocket {
namespace {

std::uint16_t ToNet16(std::uint16_t value) noexcept {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    std::uint16_t result = 0;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

std::uint16_t FromNet16(std::uint16_t value) noexcept {
    unsigned char bytes[2];
    std::memcpy(bytes, &value, sizeof bytes);
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

std::uint32_t ToNet32(std::uint32_t value) noexcept {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    std::uint32_t result = 0;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

std::uint32_t FromNet32(std::uint32_t value) noexcept {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

// " error 0x274c" or " error" after the operation name.
std::string ErrorSuffix(const std::string& operation, int code) {
    if (code == 0) return operation + " error";
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(code));
    return operation + " error 0x" + hex;
}

using TClock = std::chrono::steady_clock;

TClock::time_point SecondsFromNow(unsigned timeoutSeconds) noexcept {
    return TClock::now() + std::chrono::seconds(timeoutSeconds);
}

// Rounded up, so that a wait never ends before its deadline; none once it has passed.
std::optional<std::chrono::milliseconds> TimeLeft(TClock::time_point deadline) noexcept {
    if (deadline == TClock::time_point::max()) return std::chrono::milliseconds::max();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
    if (left.count() <= 0) return std::nullopt;
    return left;
}

// What a time-out of one of the transfers says.
struct TimeoutText {
    const char* operation;  // "Send timeout"
    const char* what;       // "the peer took nothing"
    unsigned seconds;
};

// The loop every transfer is: the non-blocking call, again and again while the socket would block,
// each wait for readiness bounded by the deadline and ended by the cancel signal (await).
template <class Call, class Await>
std::size_t WhileWouldBlock(const char* operation, const TimeoutText& timeout, Call call, Await await) {
    for (;;) {
        const std::ptrdiff_t done = call();
        if (done >= 0) return static_cast<std::size_t>(done);
        const int error = platform::LastError();
        if (!platform::WouldBlock(error)) throw CBlockingSocketException(operation, error);
        if (!await()) throw CBlockingSocketException::Timeout(timeout.operation, timeout.what, timeout.seconds);
    }
}

}  // namespace

CSocketAddress::CSocketAddress(std::uint32_t hostAddress, std::uint16_t hostPort) noexcept
    : m_nPort(ToNet16(hostPort)), m_nAddress(ToNet32(hostAddress)) {}

CSocketAddress::CSocketAddress(const std::string& dottedAddress, std::uint16_t hostPort)
    : m_nPort(ToNet16(hostPort)), m_nAddress(platform::ParseDotted(dottedAddress)) {}

std::uint16_t CSocketAddress::Port() const noexcept { return FromNet16(m_nPort); }
std::uint32_t CSocketAddress::HostAddress() const noexcept { return FromNet32(m_nAddress); }
std::string CSocketAddress::DottedDecimal() const { return platform::FormatDotted(m_nAddress); }

CBlockingSocketException::CBlockingSocketException(std::string operation)
    : m_nError(platform::LastError()), m_strOperation(std::move(operation)) {}

CBlockingSocketException::CBlockingSocketException(std::string operation, int error)
    : m_nError(error), m_strOperation(std::move(operation)) {}

CBlockingSocketException::CBlockingSocketException(std::string operation, int error, std::string description)
    : m_nError(error), m_strOperation(std::move(operation)), m_strDescription(std::move(description)) {}

CBlockingSocketException CBlockingSocketException::Timeout(std::string operation, const char* what,
                                                           unsigned timeoutSeconds) {
    // No system error stands behind a wait that ran out (the thread's last error says "success").
    return CBlockingSocketException(std::move(operation), 0,
                                    std::string(what) + " within " + std::to_string(timeoutSeconds) + " s");
}

CBlockingSocketException CBlockingSocketException::Cancelled(std::string operation) {
    CBlockingSocketException cancelled(std::move(operation), 0, "stopped");
    cancelled.m_bCancelled = true;
    return cancelled;
}

bool CBlockingSocketException::GetErrorMessage(char* buffer, std::size_t size, unsigned* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (!buffer || size == 0) return true;
    const std::string text = ErrorSuffix(m_strOperation, m_nError);
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return true;
}

std::string CBlockingSocketException::GetErrorText() const {
    const std::string cause = m_strDescription.empty() ? platform::ErrorText(m_nError) : m_strDescription;
    return cause + " (" + ErrorSuffix(m_strOperation, m_nError) + ")";
}

CBlockingSocket::~CBlockingSocket() { CloseQuietly(); }

CBlockingSocket::CBlockingSocket(CBlockingSocket&& other) noexcept
    : m_hSocket(std::exchange(other.m_hSocket, kNoSocket)),
      m_hEvent(std::exchange(other.m_hEvent, kNoEvent)),
      m_pCancel(other.m_pCancel) {}

CBlockingSocket& CBlockingSocket::operator=(CBlockingSocket&& other) noexcept {
    if (this != &other) {
        CloseQuietly();
        m_hSocket = std::exchange(other.m_hSocket, kNoSocket);
        m_hEvent = std::exchange(other.m_hEvent, kNoEvent);
        m_pCancel = other.m_pCancel;
    }
    return *this;
}

void CBlockingSocket::CheckCancel(const char* operation) const {
    if (m_pCancel && m_pCancel->Raised()) throw CBlockingSocketException::Cancelled(operation);
}

bool CBlockingSocket::AwaitReady(bool forWriting, TClock::time_point deadline, const char* operation) const {
    // The cancel signal's own deadline ends the wait as a stop does.
    const TClock::time_point stopAt = m_pCancel ? m_pCancel->Deadline() : TClock::time_point::max();
    const std::optional<std::chrono::milliseconds> left = TimeLeft(std::min(deadline, stopAt));
    if (!left) {
        CheckCancel(operation);
        return false;
    }
    switch (platform::Wait(m_hSocket, m_hEvent, forWriting, m_pCancel, *left)) {
    case platform::EWait::Cancelled:
        throw CBlockingSocketException::Cancelled(operation);
    case platform::EWait::Failed:
        throw CBlockingSocketException(operation);
    case platform::EWait::TimedOut:  // the caller tries once more and looks at the clock again
        CheckCancel(operation);
        break;
    case platform::EWait::Ready:
        break;
    }
    return true;
}

void CBlockingSocket::Create(int type) {
    CloseQuietly();
    m_hSocket = platform::OpenSocket(type, m_hEvent);
    if (m_hSocket == kNoSocket) throw CBlockingSocketException("Create");
}

void CBlockingSocket::Bind(const CSocketAddress& address) {
    if (platform::Bind(m_hSocket, address) != 0) throw CBlockingSocketException("Bind");
}

void CBlockingSocket::Listen() {
    if (platform::Listen(m_hSocket, 5) != 0) throw CBlockingSocketException("Listen");
}

bool CBlockingSocket::Accept(CBlockingSocket& target, CSocketAddress& address) {
    return Accept(target, address, TClock::time_point::max(), 0);
}

bool CBlockingSocket::Accept(CBlockingSocket& target, CSocketAddress& address, unsigned timeoutSeconds) {
    return Accept(target, address, SecondsFromNow(timeoutSeconds), timeoutSeconds);
}

bool CBlockingSocket::Accept(CBlockingSocket& target, CSocketAddress& address, TClock::time_point deadline,
                             unsigned timeoutSeconds) {
    CheckCancel("Accept");
    EventHandle event = kNoEvent;
    SocketHandle accepted;
    while ((accepted = platform::Accept(m_hSocket, address, event)) == kNoSocket) {
        const int error = platform::LastError();
        if (platform::IsInterrupted(error)) return false;
        if (!platform::WouldBlock(error)) throw CBlockingSocketException("Accept", error);
        if (!AwaitReady(false, deadline, "Accept"))
            throw CBlockingSocketException::Timeout("Accept timeout", "no connection", timeoutSeconds);
    }
    target = CBlockingSocket();
    target.m_hSocket = accepted;
    target.m_hEvent = event;
    target.m_pCancel = m_pCancel;
    return true;
}

void CBlockingSocket::Close() {
    if (m_hSocket == kNoSocket) return;
    if (platform::CloseSocket(m_hSocket, m_hEvent) != 0) throw CBlockingSocketException("Close");
    m_hSocket = kNoSocket;
    m_hEvent = kNoEvent;
}

void CBlockingSocket::CloseQuietly() noexcept {
    if (m_hSocket == kNoSocket) return;
    platform::CloseSocket(m_hSocket, m_hEvent);
    m_hSocket = kNoSocket;
    m_hEvent = kNoEvent;
}

void CBlockingSocket::CloseWithReset() noexcept {
    if (m_hSocket != kNoSocket) platform::ResetOnClose(m_hSocket);
    CloseQuietly();
}

void CBlockingSocket::Connect(const CSocketAddress& address) { ConnectUntil(address, TClock::time_point::max(), 0); }

void CBlockingSocket::Connect(const CSocketAddress& address, unsigned timeoutSeconds) {
    ConnectUntil(address, SecondsFromNow(timeoutSeconds), timeoutSeconds);
}

void CBlockingSocket::ConnectUntil(const CSocketAddress& address, TClock::time_point deadline,
                                   unsigned timeoutSeconds) {
    CheckCancel("Connect");
    const int started = platform::Connect(m_hSocket, address);
    if (started == 0) return;
    if (!platform::ConnectPending(started)) throw CBlockingSocketException("Connect", started);
    for (;;) {
        if (!AwaitReady(true, deadline, "Connect"))
            throw CBlockingSocketException::Timeout("Connect timeout", "no connection", timeoutSeconds);
        const int outcome = platform::ConnectOutcome(m_hSocket);
        if (outcome == 0) return;
        if (outcome < 0) throw CBlockingSocketException("Connect");
    }
}

std::size_t CBlockingSocket::Send(const char* data, std::size_t count, unsigned timeoutSeconds) {
    CheckCancel("Send");
    const TClock::time_point deadline = SecondsFromNow(timeoutSeconds);
    return WhileWouldBlock(
        "Send", {"Send timeout", "the peer took nothing", timeoutSeconds},
        [&] { return platform::Send(m_hSocket, data, count); }, [&] { return AwaitReady(true, deadline, "Send"); });
}

std::size_t CBlockingSocket::SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) {
    std::size_t done = 0;
    while (done < count) done += Send(data + done, count - done, timeoutSeconds);
    return count;
}

std::size_t CBlockingSocket::Receive(char* buffer, std::size_t size, unsigned timeoutSeconds) {
    return ReceiveUntil(buffer, size, SecondsFromNow(timeoutSeconds), "no answer", timeoutSeconds);
}

std::size_t CBlockingSocket::Receive(char* buffer, std::size_t size, TClock::time_point deadline,
                                     unsigned timeoutSeconds) {
    // A passed deadline ends the exchange even while bytes keep arriving: a peer that never stops
    // sending is bounded like one that never starts.
    CheckCancel("Receive");
    if (!TimeLeft(deadline))
        throw CBlockingSocketException::Timeout("Receive timeout", "no complete answer", timeoutSeconds);
    return ReceiveUntil(buffer, size, deadline, "no complete answer", timeoutSeconds);
}

std::size_t CBlockingSocket::ReceiveUntil(char* buffer, std::size_t size, TClock::time_point deadline,
                                          const char* timeoutText, unsigned timeoutSeconds) {
    CheckCancel("Receive");
    return WhileWouldBlock(
        "Receive", {"Receive timeout", timeoutText, timeoutSeconds},
        [&] { return platform::Receive(m_hSocket, buffer, size); },
        [&] { return AwaitReady(false, deadline, "Receive"); });
}

std::size_t CBlockingSocket::ReceiveDatagram(char* buffer, std::size_t size, CSocketAddress& sender,
                                             unsigned timeoutSeconds) {
    CheckCancel("ReceiveDatagram");
    const TClock::time_point deadline = SecondsFromNow(timeoutSeconds);
    return WhileWouldBlock(
        "ReceiveDatagram", {"Receive timeout", "no answer", timeoutSeconds},
        [&] { return platform::ReceiveFrom(m_hSocket, buffer, size, sender); },
        [&] { return AwaitReady(false, deadline, "ReceiveDatagram"); });
}

std::size_t CBlockingSocket::SendDatagram(const char* data, std::size_t count, const CSocketAddress& target,
                                          unsigned timeoutSeconds) {
    CheckCancel("SendDatagram");
    const TClock::time_point deadline = SecondsFromNow(timeoutSeconds);
    return WhileWouldBlock(
        "SendDatagram", {"Send timeout", "the peer took nothing", timeoutSeconds},
        [&] { return platform::SendTo(m_hSocket, data, count, target); },
        [&] { return AwaitReady(true, deadline, "SendDatagram"); });
}

void CBlockingSocket::GetPeerName(CSocketAddress& address) const {
    if (platform::PeerName(m_hSocket, address) != 0) throw CBlockingSocketException("GetPeerName");
}

void CBlockingSocket::GetSockName(CSocketAddress& address) const {
    if (platform::SockName(m_hSocket, address) != 0) throw CBlockingSocketException("GetSockName");
}

CSocketAddress CBlockingSocket::GetHostByName(const std::string& host, std::uint16_t hostPort) {
    std::uint32_t networkAddress = 0;
    if (!platform::ResolveHost(host, networkAddress)) throw CBlockingSocketException("GetHostByName");
    CSocketAddress address(0, hostPort);
    address.m_nAddress = networkAddress;
    return address;
}

std::string CBlockingSocket::GetHostByAddr(const CSocketAddress& address) {
    std::string name;
    if (!platform::HostName(address.m_nAddress, name)) throw CBlockingSocketException("GetHostByAddr");
    return name;
}

std::size_t CHttpBlockingSocket::ReadHeaderLine(char* buffer, std::size_t maxLength, unsigned timeoutSeconds) {
    const auto lineFeedIn = [this](std::size_t from) {
        const auto begin = m_readAhead.begin();
        const auto found = std::find(begin + static_cast<std::ptrdiff_t>(from),
                                     begin + static_cast<std::ptrdiff_t>(m_nReadAhead), '\n');
        return static_cast<std::size_t>(found - begin);
    };
    std::size_t lineFeed = lineFeedIn(0);
    while (lineFeed == m_nReadAhead) {
        const std::size_t searched = m_nReadAhead;
        const std::size_t free = m_readAhead.size() - m_nReadAhead;
        // A full buffer without a line feed has no room left: the line is too long to read.
        const std::size_t received = free == 0 ? 0 : Receive(m_readAhead.data() + m_nReadAhead, free, timeoutSeconds);
        if (received == 0) throw CBlockingSocketException("ReadHeaderLine");
        m_nReadAhead += received;
        lineFeed = lineFeedIn(searched);
    }
    const std::size_t lineLength = lineFeed + 1;
    const std::size_t delivered = maxLength == 0 ? 0 : std::min(lineLength, maxLength - 1);
    if (maxLength != 0) {
        std::memcpy(buffer, m_readAhead.data(), delivered);
        buffer[delivered] = '\0';
    }
    if (m_nReadAhead > lineLength)
        std::memmove(m_readAhead.data(), m_readAhead.data() + lineLength, m_nReadAhead - lineLength);
    m_nReadAhead -= lineLength;
    return delivered;
}

std::size_t CHttpBlockingSocket::ReadData(char* buffer, std::size_t size, unsigned timeoutSeconds) {
    std::size_t delivered = std::min(m_nReadAhead, size);
    if (delivered != 0) std::memcpy(buffer, m_readAhead.data(), delivered);
    m_nReadAhead = 0;
    while (delivered < size) {
        const std::size_t received =
            Receive(buffer + delivered, std::min(kReadAheadSize, size - delivered), timeoutSeconds);
        if (received == 0) break;
        delivered += received;
    }
    return delivered;
}

CSocketLibrary::CSocketLibrary() : m_bStarted(platform::StartLibrary()) {}

CSocketLibrary::~CSocketLibrary() {
    if (m_bStarted) platform::StopLibrary();
}

}  // namespace nsSocket
