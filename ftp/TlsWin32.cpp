// The TLS connection on Windows, through Schannel (SSPI): Schannel turns records into data and back,
// and this side moves the bytes over the blocking socket, so every wait keeps the socket's time-outs.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ftp/HostNameMatch.h"
#include "ftp/TlsText.h"
#include "ftp/TlsWin32.h"

namespace nsTls {
namespace {

using TClock = std::chrono::steady_clock;
using namespace win32;

constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
// Records sealed before one send(): one send per record takes twice as long.
constexpr std::size_t kRecordsPerSend = 16;
// Room for what the socket has ready: a download's receives then take several records each, which
// cuts a third of a 64 MiB download's time under Wine against 64 KiB. A handshake message longer
// than this (a long chain) grows it up to the limit.
constexpr std::size_t kInputSize = 256 * 1024;
constexpr std::size_t kInputLimit = 1024 * 1024;

bool RunsUnderWine() {
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

class CSchannelConnection final : public CTlsConnection {
public:
    CSchannelConnection(nsSocket::CBlockingSocket& socket, const CTlsPolicy& policy,
                        std::shared_ptr<CCredentials> credentials)
        : m_socket(socket), m_policy(policy), m_credentials(std::move(credentials)), m_input(kInputSize) {
        // The target is both the SNI name and the key under which Schannel finds a session to
        // resume. Windows leaves an address out of SNI by itself, so it gets the address too and
        // can resume by it; Wine's Schannel would send the address as SNI, so there it gets none.
        if (!IsAddress(policy.hostName))
            m_target = Widen(ReferenceName(policy.hostName));
        else if (!RunsUnderWine())
            m_target = Widen(policy.hostName);
    }

    void Handshake(unsigned timeoutSeconds);

    void SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) override;
    std::size_t Receive(char* buffer, std::size_t size, TClock::time_point deadline, unsigned timeoutSeconds) override;
    void Shutdown(unsigned timeoutSeconds) override;
    std::string PeerFingerprint() const override { return m_fingerprint; }

    const std::shared_ptr<CCredentials>& Credentials() const { return m_credentials; }

private:
    // InitializeSecurityContext until the handshake is done, sending its tokens and feeding it the
    // server's; start: the first call, which makes the context and says hello.
    void Negotiate(bool start, TClock::time_point deadline, unsigned timeoutSeconds);
    // One record of m_input decrypted: the data becomes m_plain*, the bytes after it stay.
    void DecryptRecord(TClock::time_point deadline, unsigned timeoutSeconds);
    // More bytes from the socket after those not yet consumed; false at the peer's end of stream.
    bool ReadMore(TClock::time_point deadline, unsigned timeoutSeconds);
    // The unconsumed input starts where Schannel's SECBUFFER_EXTRA says (nothing left without one).
    void KeepExtra(const SecBuffer* extra) {
        m_inStart = extra && extra->cbBuffer <= m_inEnd - m_inStart ? m_inEnd - extra->cbBuffer : m_inEnd;
    }
    SEC_WCHAR* Target() { return m_target.empty() ? nullptr : m_target.data(); }

    nsSocket::CBlockingSocket& m_socket;
    CTlsPolicy m_policy;
    std::wstring m_target;
    std::shared_ptr<CCredentials> m_credentials;
    CContext m_context;
    SecPkgContext_StreamSizes m_sizes{};
    std::string m_fingerprint;
    // Bytes from the socket: [m_inStart, m_inEnd) not yet consumed by Schannel, and before them
    // [m_plainAt, m_plainAt + m_plainCount), data decrypted in place and not yet delivered.
    std::vector<char> m_input;
    std::size_t m_inStart = 0;
    std::size_t m_inEnd = 0;
    std::size_t m_plainAt = 0;
    std::size_t m_plainCount = 0;
    bool m_incomplete = false;   // the unconsumed bytes end inside a record
    bool m_ended = false;        // the peer's close_notify, or the end of its stream, came
    bool m_draining = false;     // after our close_notify: what comes is only read to the end
    std::vector<char> m_output;  // records sealed for one send
};

const SecBuffer* FindBuffer(const SecBuffer* buffers, std::size_t count, unsigned long type) {
    for (std::size_t i = 0; i < count; ++i)
        if (buffers[i].BufferType == type) return &buffers[i];
    return nullptr;
}

void CSchannelConnection::Handshake(unsigned timeoutSeconds) {
    const TClock::time_point deadline = TClock::now() + std::chrono::seconds(timeoutSeconds);
    Negotiate(true, deadline, timeoutSeconds);

    SecPkgContext_ConnectionInfo info{};
    constexpr DWORD kOlder = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    // Schannel was asked for TLS 1.2 and later; a system that does not honour the request is
    // caught here.
    if (::QueryContextAttributesW(m_context.Get(), SECPKG_ATTR_CONNECTION_INFO, &info) == SEC_E_OK &&
        (info.dwProtocol & kOlder) != 0)
        throw nsSocket::CBlockingSocketException("TLS handshake", 0, "the server speaks only TLS 1.1 or earlier");
    const SECURITY_STATUS sized = ::QueryContextAttributesW(m_context.Get(), SECPKG_ATTR_STREAM_SIZES, &m_sizes);
    if (sized != SEC_E_OK) RaiseStatus("TLS handshake", sized);

    const CERT_CONTEXT* remote = nullptr;
    const SECURITY_STATUS found = ::QueryContextAttributesW(m_context.Get(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote);
    const TCertificate leaf(remote);
    if (found != SEC_E_OK || !leaf) RaiseStatus("TLS handshake", found != SEC_E_OK ? found : SEC_E_CERT_UNKNOWN);
    m_fingerprint = Sha256Hex(*leaf);
    JudgeCertificate(*leaf, m_fingerprint, m_policy);
}

void CSchannelConnection::Negotiate(bool start, TClock::time_point deadline, unsigned timeoutSeconds) {
    bool needInput = false;
    for (;;) {
        if (needInput && !ReadMore(deadline, timeoutSeconds))
            throw nsSocket::CBlockingSocketException("TLS handshake", 0,
                                                     "the server closed the connection during the handshake");
        SecBuffer in[2] = {
            {static_cast<unsigned long>(m_inEnd - m_inStart), SECBUFFER_TOKEN, m_input.data() + m_inStart},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDescription{SECBUFFER_VERSION, 1, out};
        ULONG attributes = 0;
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            m_credentials->Get(), start ? nullptr : m_context.Get(), Target(), kRequest, 0, 0,
            start ? nullptr : &inDescription, 0, m_context.Get(), &outDescription, &attributes, nullptr);
        const TContextBuffer token(out[0].pvBuffer);
        const bool consumed = !start;
        start = false;
        switch (status) {
        case SEC_E_OK:
        case SEC_I_CONTINUE_NEEDED:
            if (out[0].cbBuffer != 0)
                m_socket.SendAll(static_cast<const char*>(token.get()), out[0].cbBuffer, timeoutSeconds);
            if (consumed) KeepExtra(FindBuffer(in, 2, SECBUFFER_EXTRA));
            if (status == SEC_E_OK) return;
            needInput = m_inStart == m_inEnd;
            break;
        case SEC_E_INCOMPLETE_MESSAGE:
            needInput = true;
            break;
        case SEC_I_INCOMPLETE_CREDENTIALS:
            needInput = false;  // the server asks for a client certificate: it gets none
            break;
        default:
            RaiseStatus("TLS handshake", status);
        }
    }
}

bool CSchannelConnection::ReadMore(TClock::time_point deadline, unsigned timeoutSeconds) {
    // Only unconsumed input is kept: delivered data (m_plain*) is gone by the time more is read.
    if (m_inStart != 0) {
        std::memmove(m_input.data(), m_input.data() + m_inStart, m_inEnd - m_inStart);
        m_inEnd -= m_inStart;
        m_inStart = 0;
    }
    if (m_inEnd == m_input.size()) {
        if (m_input.size() >= kInputLimit)
            throw nsSocket::CBlockingSocketException("Receive", 0, "a TLS message longer than 1 MiB");
        m_input.resize(m_input.size() * 2);
    }
    const std::size_t received =
        m_socket.Receive(m_input.data() + m_inEnd, m_input.size() - m_inEnd, deadline, timeoutSeconds);
    m_inEnd += received;
    m_incomplete = false;
    return received != 0;
}

void CSchannelConnection::DecryptRecord(TClock::time_point deadline, unsigned timeoutSeconds) {
    SecBuffer buffers[4] = {
        {static_cast<unsigned long>(m_inEnd - m_inStart), SECBUFFER_DATA, m_input.data() + m_inStart},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = ::DecryptMessage(m_context.Get(), &description, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        m_incomplete = true;
        return;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {  // Windows: the peer's close_notify
        m_ended = true;
        return;
    }
    if (status != SEC_E_OK && (status != SEC_I_RENEGOTIATE || m_draining)) {
        // After our own close_notify nothing read matters any more: the rest is only drained.
        if (!m_draining) RaiseStatus("Receive", status);
        while (ReadMore(deadline, timeoutSeconds)) m_inStart = m_inEnd;
        m_ended = true;
        return;
    }
    const SecBuffer* data = FindBuffer(buffers, 4, SECBUFFER_DATA);
    const SecBuffer* extra = FindBuffer(buffers, 4, SECBUFFER_EXTRA);
    KeepExtra(extra);
    if (status == SEC_I_RENEGOTIATE) {
        // A handshake message after the handshake (TLS 1.3 session tickets on Windows): Schannel
        // takes it, and what follows it, through InitializeSecurityContext.
        Negotiate(false, deadline, timeoutSeconds);
        return;
    }
    if (data && data->cbBuffer != 0) {
        m_plainAt = static_cast<std::size_t>(static_cast<const char*>(data->pvBuffer) - m_input.data());
        m_plainCount = data->cbBuffer;
    } else if (!extra) {
        // Wine's Schannel answers the peer's close_notify with SEC_E_OK and no data.
        m_ended = true;
    }
}

std::size_t CSchannelConnection::Receive(char* buffer, std::size_t size, TClock::time_point deadline,
                                         unsigned timeoutSeconds) {
    // Every whole record already read is handed over at once (a block of 16 KiB records), but
    // the socket is waited on only while nothing is.
    std::size_t delivered = 0;
    while (delivered < size) {
        if (m_plainCount == 0) {
            if (m_ended) break;
            if (m_inStart == m_inEnd || m_incomplete) {
                if (delivered != 0) break;
                if (!ReadMore(deadline, timeoutSeconds)) {
                    // A peer that just closes its socket ends the data as well: the final reply
                    // says whether it was all.
                    m_ended = true;
                    break;
                }
            }
            DecryptRecord(deadline, timeoutSeconds);
            continue;
        }
        const std::size_t count = std::min(size - delivered, m_plainCount);
        std::memcpy(buffer + delivered, m_input.data() + m_plainAt, count);
        delivered += count;
        m_plainAt += count;
        m_plainCount -= count;
    }
    return delivered;
}

void CSchannelConnection::SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) {
    const std::size_t header = m_sizes.cbHeader;
    const std::size_t maximum = m_sizes.cbMaximumMessage;
    const std::size_t trailer = m_sizes.cbTrailer;
    // Room for as many records as this call seals at once (a command needs one).
    const std::size_t sealed = std::min(kRecordsPerSend, (count + maximum - 1) / maximum);
    if (m_output.size() < sealed * (header + maximum + trailer)) m_output.resize(sealed * (header + maximum + trailer));
    while (count > 0) {
        std::size_t used = 0;
        for (std::size_t records = 0; records < kRecordsPerSend && count > 0; ++records) {
            const std::size_t chunk = std::min(count, maximum);
            char* const record = m_output.data() + used;
            std::memcpy(record + header, data, chunk);
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(header), SECBUFFER_STREAM_HEADER, record},
                {static_cast<unsigned long>(chunk), SECBUFFER_DATA, record + header},
                {static_cast<unsigned long>(trailer), SECBUFFER_STREAM_TRAILER, record + header + chunk},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = ::EncryptMessage(m_context.Get(), 0, &description, 0);
            if (status != SEC_E_OK) RaiseStatus("Send", status);
            // The record is header, data and trailer in a row; the trailer may come out shorter.
            used += buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
            data += chunk;
            count -= chunk;
        }
        m_socket.SendAll(m_output.data(), used, timeoutSeconds);
    }
}

void CSchannelConnection::Shutdown(unsigned timeoutSeconds) {
    DWORD kind = SCHANNEL_SHUTDOWN;
    SecBuffer control[1] = {{sizeof kind, SECBUFFER_TOKEN, &kind}};
    SecBufferDesc controlDescription{SECBUFFER_VERSION, 1, control};
    SECURITY_STATUS status = ::ApplyControlToken(m_context.Get(), &controlDescription);
    if (status != SEC_E_OK) RaiseStatus("Send", status);
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDescription{SECBUFFER_VERSION, 1, out};
    ULONG attributes = 0;
    status = ::InitializeSecurityContextW(m_credentials->Get(), m_context.Get(), Target(), kRequest, 0, 0, nullptr, 0,
                                          m_context.Get(), &outDescription, &attributes, nullptr);
    const TContextBuffer token(out[0].pvBuffer);
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED) RaiseStatus("Send", status);
    if (out[0].cbBuffer != 0) m_socket.SendAll(static_cast<const char*>(token.get()), out[0].cbBuffer, timeoutSeconds);
    // What the server still sends (its own close_notify) is read to the end: closing a socket with
    // unread data resets the connection, and a reset makes the server drop what it had not yet
    // read of the file.
    m_draining = true;
    const TClock::time_point deadline = TClock::now() + std::chrono::seconds(timeoutSeconds);
    char sink[4096];
    while (Receive(sink, sizeof sink, deadline, timeoutSeconds) > 0) {
    }
}

}  // namespace

std::unique_ptr<CTlsConnection> CTlsConnection::Start(nsSocket::CBlockingSocket& socket, const CTlsPolicy& policy,
                                                      const CTlsConnection* resume, unsigned timeoutSeconds) {
    const auto* earlier = dynamic_cast<const CSchannelConnection*>(resume);
    // A data connection shares its control connection's credentials, under which Schannel keeps
    // the session it may resume (servers that demand it refuse a data connection without).
    auto connection = std::make_unique<CSchannelConnection>(socket, policy,
                                                            earlier ? earlier->Credentials() : CCredentials::Acquire());
    connection->Handshake(timeoutSeconds);
    return connection;
}

}  // namespace nsTls
