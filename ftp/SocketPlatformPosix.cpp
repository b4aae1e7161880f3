// POSIX half of the socket layer: Berkeley sockets, poll for the waits, getaddrinfo for names.
#include "ftp/SocketPlatform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ftp/SocketAddressSystem.h"

namespace nsSocket::platform {
int LastError() noexcept { return errno; }
int LastSystemError() noexcept { return errno; }

std::string ErrorText(int code) {
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

bool IsInterrupted(int code) noexcept { return code == EINTR; }

bool WouldBlock(int code) noexcept { return code == EAGAIN || code == EWOULDBLOCK; }

bool ConnectPending(int code) noexcept { return code == EINPROGRESS || code == EINTR; }

// Nothing to start: sends pass MSG_NOSIGNAL, so a peer that closes fails the send instead of
// signalling the process.
bool StartLibrary() noexcept { return true; }

void StopLibrary() noexcept {}

SocketHandle OpenSocket(int type, EventHandle& event) noexcept {
    event = kNoEvent;
    const int systemType = type == 2 ? SOCK_DGRAM : SOCK_STREAM;
    return ::socket(AF_INET, systemType | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

int CloseSocket(SocketHandle socket, EventHandle) noexcept { return ::close(socket); }

void ResetOnClose(SocketHandle socket) noexcept {
    const linger reset{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

int Bind(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int Listen(SocketHandle socket, int backlog) noexcept { return ::listen(socket, backlog); }

SocketHandle Accept(SocketHandle socket, CSocketAddress& address, EventHandle& event) noexcept {
    event = kNoEvent;
    sockaddr_in system{};
    socklen_t length = sizeof system;
    const int accepted = ::accept4(socket, reinterpret_cast<sockaddr*>(&system), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted >= 0) FromSystem(system, address);
    return accepted < 0 ? kNoSocket : accepted;
}

int Connect(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&system), sizeof system) == 0 ? 0 : errno;
}

int ConnectOutcome(SocketHandle socket) noexcept {
    pollfd entry{socket, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, 0);
    if (ready < 0) return errno == EINTR ? 1 : -1;
    if (ready == 0) return 1;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    errno = error;
    return error == 0 ? 0 : -1;
}

EWait Wait(SocketHandle socket, EventHandle, bool forWriting, const CCancelSignal* cancel,
           std::chrono::milliseconds wait) noexcept {
    // poll rather than select: descriptors above FD_SETSIZE must not overflow a wait set.
    pollfd entries[2] = {{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0},
                         {cancel ? cancel->Native() : -1, POLLIN, 0}};
    const long long ms = wait.count() < 0 ? 0 : wait.count();
    const int result = ::poll(entries, cancel ? 2 : 1, ms > 0x7fffffff ? -1 : static_cast<int>(ms));
    if (result < 0) return errno == EINTR ? EWait::Ready : EWait::Failed;  // a signal: look again
    if (cancel && entries[1].revents != 0) return EWait::Cancelled;
    return result == 0 ? EWait::TimedOut : EWait::Ready;
}

std::ptrdiff_t Send(SocketHandle socket, const char* data, std::size_t count) noexcept {
    return ::send(socket, data, count, MSG_NOSIGNAL);
}

std::ptrdiff_t Receive(SocketHandle socket, char* buffer, std::size_t size) noexcept {
    return ::recv(socket, buffer, size, 0);
}

std::ptrdiff_t ReceiveFrom(SocketHandle socket, char* buffer, std::size_t size, CSocketAddress& sender) noexcept {
    sockaddr_in system{};
    socklen_t length = sizeof system;
    const auto received = ::recvfrom(socket, buffer, size, 0, reinterpret_cast<sockaddr*>(&system), &length);
    if (received >= 0) FromSystem(system, sender);
    return received;
}

std::ptrdiff_t SendTo(SocketHandle socket, const char* data, std::size_t count, const CSocketAddress& target) noexcept {
    const sockaddr_in system = ToSystem(target);
    return ::sendto(socket, data, count, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int PeerName(SocketHandle socket, CSocketAddress& address) noexcept {
    return QueryAddress<socklen_t>(::getpeername, socket, address);
}

int SockName(SocketHandle socket, CSocketAddress& address) noexcept {
    return QueryAddress<socklen_t>(::getsockname, socket, address);
}

bool ResolveHost(const std::string& host, std::uint32_t& networkAddress) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    ::freeaddrinfo(found);
    networkAddress = first.sin_addr.s_addr;
    return true;
}

bool HostName(std::uint32_t networkAddress, std::string& name) {
    CSocketAddress address;
    address.m_nAddress = networkAddress;
    const sockaddr_in system = ToSystem(address);
    char buffer[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&system), sizeof system, buffer, sizeof buffer, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return false;
    name = buffer;
    return true;
}

std::uint32_t ParseDotted(const std::string& text) noexcept { return ::inet_addr(text.c_str()); }

std::string FormatDotted(std::uint32_t networkAddress) {
    in_addr address{};
    address.s_addr = networkAddress;
    char buffer[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &address, buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

}  // namespace nsSocket::platform
