// POSIX half of the socket layer: Berkeley sockets, poll for the waits, getaddrinfo for names.
#include "ftp/SocketPlatform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
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

// Nothing to start: sends pass MSG_NOSIGNAL, so a peer that closes fails the send instead of
// signalling the process.
bool StartLibrary() noexcept { return true; }

void StopLibrary() noexcept {}

SocketHandle OpenSocket(int type) noexcept {
    const int systemType = type == 2 ? SOCK_DGRAM : SOCK_STREAM;
    return ::socket(AF_INET, systemType | SOCK_CLOEXEC, 0);
}

int CloseSocket(SocketHandle socket) noexcept { return ::close(socket); }

int Bind(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int Listen(SocketHandle socket, int backlog) noexcept { return ::listen(socket, backlog); }

SocketHandle Accept(SocketHandle socket, CSocketAddress& address) noexcept {
    sockaddr_in system{};
    socklen_t length = sizeof system;
    const int accepted = ::accept4(socket, reinterpret_cast<sockaddr*>(&system), &length, SOCK_CLOEXEC);
    if (accepted >= 0) FromSystem(system, address);
    return accepted < 0 ? kNoSocket : accepted;
}

int Connect(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int WaitReady(SocketHandle socket, bool forWriting, std::chrono::milliseconds wait) noexcept {
    // poll rather than select: descriptors above FD_SETSIZE must not overflow a wait set.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const long long leftMs = left.count() < 0 ? 0 : left.count();
        pollfd entry{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int result = ::poll(&entry, 1, leftMs > 0x7fffffff ? 0x7fffffff : static_cast<int>(leftMs));
        if (result < 0 && errno == EINTR) continue;            // a signal is no reason to give up the wait early
        if (result == 0 && Clock::now() < deadline) continue;  // the wait was capped; keep waiting out the rest
        return result;
    }
}

int ConnectWithin(SocketHandle socket, const CSocketAddress& address, std::chrono::milliseconds wait) noexcept {
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) return -1;
    int result = Connect(socket, address);
    if (result != 0 && errno == EINPROGRESS) {
        const int ready = WaitReady(socket, true, wait);
        if (ready == 0) {
            result = 1;
        } else if (ready < 0) {
            result = -1;
        } else {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
            errno = error;
            result = error == 0 ? 0 : -1;
        }
    }
    const int saved = errno;
    if (::fcntl(socket, F_SETFL, flags) != 0 && result == 0) return -1;
    errno = saved;
    return result;
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
