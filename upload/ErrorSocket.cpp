// CErrorSocket: one asynchronous report over a socket whose notifications arrive as messages to
// a message-only window of its own.
#include "upload/ErrorSocket.h"

#include "framework/MessagePump.h"
#include "framework/Module.h"
#include "upload/ErrorReport.h"

#include <winsock2.h>

#include <cstring>
#include <utility>

namespace tovalo::upload {
namespace {

constexpr UINT kSocketMessage = WM_APP + 0x51;
constexpr wchar_t kNotifyClass[] = L"TovaloErrorSocket";
// Read, write, out-of-band, accept, connect and close: every notification kind.
constexpr long kAllEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
static_assert(kAllEvents == 63);

bool RegisterNotifyClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;  // replaced per window once it knows its socket object
    wc.hInstance = fw::Module::Instance();
    wc.lpszClassName = kNotifyClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::uint32_t ResolveIPv4(const char* host) {
    const u_long numeric = ::inet_addr(host);
    if (numeric != INADDR_NONE) return numeric;
    const hostent* entry = ::gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return 0;
    in_addr address{};
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address.s_addr;
}

CErrorSocket::~CErrorSocket() {
    CloseSocket();
    m_notifyWnd.Reset();
    // The class goes with the last window, so an unloaded module leaves no procedure behind.
    ::UnregisterClassW(kNotifyClass, fw::Module::Instance());
}

void CErrorSocket::SetRequest(std::int32_t error, const std::string& responseText, const char* host) {
    m_strRequest = FormatReportRequest(error, responseText, host);
}

bool CErrorSocket::CreateNotifyWindow() {
    if (m_notifyWnd) return true;
    if (!RegisterNotifyClass()) return false;
    m_notifyWnd.Reset(
        ::CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, fw::Module::Instance(), nullptr));
    if (!m_notifyWnd) return false;
    ::SetWindowLongPtrW(m_notifyWnd.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(m_notifyWnd.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NotifyProc));
    return true;
}

bool CErrorSocket::Report(std::int32_t error, const std::string& responseText, const char* host, std::uint16_t port) {
    if (m_state == State::Connecting) return false;
    return Report(error, responseText, host, ResolveIPv4(host), port);
}

bool CErrorSocket::Report(std::int32_t error, const std::string& responseText, const char* host, std::uint32_t address,
                          std::uint16_t port) {
    if (m_state == State::Connecting || address == 0) return false;
    CloseSocket();
    m_bSent = false;
    if (!CreateNotifyWindow()) return false;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return false;
    m_socket = s;
    // Non-blocking from here on; the outcome of the connect arrives as FD_CONNECT.
    if (::WSAAsyncSelect(s, m_notifyWnd.Get(), kSocketMessage, kAllEvents) == SOCKET_ERROR) {
        CloseSocket();
        return false;
    }
    SetRequest(error, responseText, host);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR &&
        ::WSAGetLastError() != WSAEWOULDBLOCK) {
        CloseSocket();
        return false;
    }
    m_state = State::Connecting;
    return true;
}

void CErrorSocket::Flush(DWORD timeoutMs) {
    // The socket's notifications are window messages: they are dispatched until it is done.
    fw::DispatchFor(timeoutMs, [this] { return m_state == State::Connecting; });
    // Given up (the time is over, or the thread is ending): the report is dropped.
    if (m_state == State::Connecting) CloseSocket();
}

void CErrorSocket::OnConnect(int error) {
    if (error != 0) {
        CloseSocket();  // refused or unreachable: the report is dropped
        return;
    }
    // One send; a short send is not retried (nothing depends on the report).
    ::send(m_socket, m_strRequest.data(), static_cast<int>(m_strRequest.size()), 0);
    m_strRequest.clear();
    m_bSent = true;
    m_state = State::Sent;
}

void CErrorSocket::OnReceive() {
    // The answer is never read: the first bytes of it end the exchange.
    CloseSocket();
}

void CErrorSocket::OnClose() { CloseSocket(); }

void CErrorSocket::HandleNotification(WPARAM socket, LPARAM event) {
    if (socket != m_socket) return;  // a late message of a socket already closed
    switch (WSAGETSELECTEVENT(event)) {
    case FD_CONNECT:
        if (m_state == State::Connecting) OnConnect(WSAGETSELECTERROR(event));
        break;
    case FD_READ:
        OnReceive();
        break;
    case FD_CLOSE:
        OnClose();
        break;
    default:
        break;
    }
}

LRESULT CALLBACK CErrorSocket::NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kSocketMessage) {
        if (auto* self = reinterpret_cast<CErrorSocket*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            self->HandleNotification(wp, lp);
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void CErrorSocket::CloseSocket() {
    if (m_socket != INVALID_SOCKET) {
        ::closesocket(std::exchange(m_socket, INVALID_SOCKET));
    }
    if (m_state != State::Idle) m_state = State::Closed;
}

}  // namespace tovalo::upload
