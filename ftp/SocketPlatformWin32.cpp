// Windows half of the socket layer: Windows Sockets 2 (ws2_32), each socket's readiness reported
// through an event (WSAEventSelect) that a wait watches together with the cancel signal's event.
#include "ftp/SocketPlatform.h"

#include <winsock2.h>

#include <climits>
#include <cstring>

#include "ftp/SocketAddressSystem.h"

namespace nsSocket::platform {
namespace {

// Windows Sockets counts in int.
int ClampCount(std::size_t count) noexcept { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

SOCKET ToSystem(SocketHandle socket) noexcept { return static_cast<SOCKET>(socket); }

// Every event a socket of ours can have. Windows records each one once and records it again only
// after the call that re-enables it (a receive for FD_READ, a send that would block for FD_WRITE, an
// accept for FD_ACCEPT): so an operation is always tried first and waited for only when it would
// block, and a wait that wakes for another event just makes the caller try again.
constexpr long kAllEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// Ties a socket to a new event of its own (which also makes it non-blocking); false, with nothing
// left open but the socket, when either step fails.
bool SelectEvents(SOCKET socket, EventHandle& event) noexcept {
    const WSAEVENT made = ::WSACreateEvent();
    if (made == WSA_INVALID_EVENT) return false;
    if (::WSAEventSelect(socket, made, kAllEvents) != 0) {
        const int error = ::WSAGetLastError();
        ::WSACloseEvent(made);
        ::WSASetLastError(error);
        return false;
    }
    event = made;
    return true;
}

SocketHandle CloseOnFailure(SOCKET socket) noexcept {
    const int error = ::WSAGetLastError();
    ::closesocket(socket);
    ::WSASetLastError(error);
    return kNoSocket;
}

}  // namespace

int LastError() noexcept { return ::WSAGetLastError(); }
int LastSystemError() noexcept { return static_cast<int>(::GetLastError()); }

std::string ErrorText(int code) {
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text) result.assign(text, length);
    if (text) ::LocalFree(text);
    return result;
}

bool IsInterrupted(int code) noexcept { return code == WSAEINTR; }

bool WouldBlock(int code) noexcept { return code == WSAEWOULDBLOCK; }

bool ConnectPending(int code) noexcept { return code == WSAEWOULDBLOCK; }

bool StartLibrary() noexcept {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopLibrary() noexcept { ::WSACleanup(); }

SocketHandle OpenSocket(int type, EventHandle& event) noexcept {
    event = kNoEvent;
    const SOCKET socket = ::socket(AF_INET, type, 0);
    if (socket == INVALID_SOCKET) return kNoSocket;
    return SelectEvents(socket, event) ? static_cast<SocketHandle>(socket) : CloseOnFailure(socket);
}

int CloseSocket(SocketHandle socket, EventHandle event) noexcept {
    const int result = ::closesocket(ToSystem(socket));
    if (event != kNoEvent) {
        const int error = ::WSAGetLastError();
        ::WSACloseEvent(event);
        ::WSASetLastError(error);
    }
    return result;
}

void ResetOnClose(SocketHandle socket) noexcept {
    const linger reset{1, 0};
    ::setsockopt(ToSystem(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
}

int Bind(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::bind(ToSystem(socket), reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int Listen(SocketHandle socket, int backlog) noexcept { return ::listen(ToSystem(socket), backlog); }

SocketHandle Accept(SocketHandle socket, CSocketAddress& address, EventHandle& event) noexcept {
    event = kNoEvent;
    sockaddr_in system{};
    int length = sizeof system;
    const SOCKET accepted = ::accept(ToSystem(socket), reinterpret_cast<sockaddr*>(&system), &length);
    if (accepted == INVALID_SOCKET) return kNoSocket;
    FromSystem(system, address);
    // It comes tied to the listener's event: it gets one of its own.
    return SelectEvents(accepted, event) ? static_cast<SocketHandle>(accepted) : CloseOnFailure(accepted);
}

int Connect(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    if (::connect(ToSystem(socket), reinterpret_cast<const sockaddr*>(&system), sizeof system) == 0) return 0;
    return ::WSAGetLastError();
}

int ConnectOutcome(SocketHandle socket) noexcept {
    // A refused connection shows in the exception set, a made one in the write set.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(ToSystem(socket), &writable);
    FD_SET(ToSystem(socket), &failed);
    timeval now{};
    const int ready = ::select(0, nullptr, &writable, &failed, &now);
    if (ready < 0) return -1;
    if (ready == 0) return 1;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(ToSystem(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = ::WSAGetLastError();
    if (error == 0 && FD_ISSET(ToSystem(socket), &failed)) error = WSAECONNREFUSED;
    ::WSASetLastError(error);
    return error == 0 ? 0 : -1;
}

EWait Wait(SocketHandle socket, EventHandle event, bool, const CCancelSignal* cancel,
           std::chrono::milliseconds wait) noexcept {
    // The cancel signal first: when both are set, the lower index is reported.
    WSAEVENT events[2];
    DWORD count = 0;
    if (cancel) events[count++] = cancel->Native();
    events[count++] = event;
    const long long ms = wait.count() < 0 ? 0 : wait.count();
    const DWORD timeout = ms >= static_cast<long long>(INFINITE) ? INFINITE : static_cast<DWORD>(ms);
    const DWORD result = ::WSAWaitForMultipleEvents(count, events, FALSE, timeout, FALSE);
    if (result == WSA_WAIT_TIMEOUT) return EWait::TimedOut;
    if (result == WSA_WAIT_FAILED) return EWait::Failed;
    if (cancel && result == WSA_WAIT_EVENT_0) return EWait::Cancelled;
    // Clears the events recorded and resets the event, so that the next wait waits for news.
    WSANETWORKEVENTS recorded{};
    ::WSAEnumNetworkEvents(ToSystem(socket), event, &recorded);
    return EWait::Ready;
}

std::ptrdiff_t Send(SocketHandle socket, const char* data, std::size_t count) noexcept {
    return ::send(ToSystem(socket), data, ClampCount(count), 0);
}

std::ptrdiff_t Receive(SocketHandle socket, char* buffer, std::size_t size) noexcept {
    return ::recv(ToSystem(socket), buffer, ClampCount(size), 0);
}

std::ptrdiff_t ReceiveFrom(SocketHandle socket, char* buffer, std::size_t size, CSocketAddress& sender) noexcept {
    sockaddr_in system{};
    int length = sizeof system;
    const int received =
        ::recvfrom(ToSystem(socket), buffer, ClampCount(size), 0, reinterpret_cast<sockaddr*>(&system), &length);
    if (received >= 0) FromSystem(system, sender);
    return received;
}

std::ptrdiff_t SendTo(SocketHandle socket, const char* data, std::size_t count, const CSocketAddress& target) noexcept {
    const sockaddr_in system = ToSystem(target);
    return ::sendto(ToSystem(socket), data, ClampCount(count), 0, reinterpret_cast<const sockaddr*>(&system),
                    sizeof system);
}

int PeerName(SocketHandle socket, CSocketAddress& address) noexcept {
    return QueryAddress<int>(::getpeername, ToSystem(socket), address);
}

int SockName(SocketHandle socket, CSocketAddress& address) noexcept {
    return QueryAddress<int>(::getsockname, ToSystem(socket), address);
}

bool ResolveHost(const std::string& host, std::uint32_t& networkAddress) {
    const hostent* entry = ::gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return false;
    std::memcpy(&networkAddress, entry->h_addr_list[0], sizeof networkAddress);
    return true;
}

bool HostName(std::uint32_t networkAddress, std::string& name) {
    const hostent* entry = ::gethostbyaddr(reinterpret_cast<const char*>(&networkAddress), 4, AF_INET);
    if (!entry || !entry->h_name) return false;
    name = entry->h_name;
    return true;
}

std::uint32_t ParseDotted(const std::string& text) noexcept { return ::inet_addr(text.c_str()); }

std::string FormatDotted(std::uint32_t networkAddress) {
    in_addr address{};
    address.s_addr = networkAddress;
    const char* text = ::inet_ntoa(address);
    return text ? std::string(text) : std::string();
}

}  // namespace nsSocket::platform
