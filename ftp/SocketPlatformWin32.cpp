// Windows half of the socket layer: Windows Sockets 1.1 (wsock32) and FormatMessageA.
#include "ftp/SocketPlatform.h"

#include <winsock.h>

#include <climits>
#include <cstring>

#include "ftp/SocketAddressSystem.h"

namespace nsSocket::platform {
namespace {

// Windows Sockets counts in int.
int ClampCount(std::size_t count) noexcept { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

SOCKET ToSystem(SocketHandle socket) noexcept { return static_cast<SOCKET>(socket); }

timeval TimevalOf(std::chrono::milliseconds wait) noexcept {
    const long long ms = wait.count() < 0 ? 0 : wait.count();
    timeval limit{};
    limit.tv_sec = ms / 1000 > LONG_MAX ? LONG_MAX : static_cast<long>(ms / 1000);
    limit.tv_usec = static_cast<long>(ms % 1000) * 1000;
    return limit;
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

bool StartLibrary() noexcept {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void StopLibrary() noexcept { ::WSACleanup(); }

SocketHandle OpenSocket(int type) noexcept {
    const SOCKET socket = ::socket(AF_INET, type, 0);
    return socket == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(socket);
}

int CloseSocket(SocketHandle socket) noexcept { return ::closesocket(ToSystem(socket)); }

int Bind(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::bind(ToSystem(socket), reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int Listen(SocketHandle socket, int backlog) noexcept { return ::listen(ToSystem(socket), backlog); }

SocketHandle Accept(SocketHandle socket, CSocketAddress& address) noexcept {
    sockaddr_in system{};
    int length = sizeof system;
    const SOCKET accepted = ::accept(ToSystem(socket), reinterpret_cast<sockaddr*>(&system), &length);
    if (accepted == INVALID_SOCKET) return kNoSocket;
    FromSystem(system, address);
    return static_cast<SocketHandle>(accepted);
}

int Connect(SocketHandle socket, const CSocketAddress& address) noexcept {
    const sockaddr_in system = ToSystem(address);
    return ::connect(ToSystem(socket), reinterpret_cast<const sockaddr*>(&system), sizeof system);
}

int WaitReady(SocketHandle socket, bool forWriting, std::chrono::milliseconds wait) noexcept {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(ToSystem(socket), &set);
    timeval limit = TimevalOf(wait);
    return ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &limit);
}

int ConnectWithin(SocketHandle socket, const CSocketAddress& address, std::chrono::milliseconds wait) noexcept {
    u_long nonBlocking = 1;
    if (::ioctlsocket(ToSystem(socket), FIONBIO, &nonBlocking) != 0) return -1;
    int result = Connect(socket, address);
    if (result != 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        // A refused connection shows in the exception set, a made one in the write set.
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(ToSystem(socket), &writable);
        FD_SET(ToSystem(socket), &failed);
        timeval limit = TimevalOf(wait);
        const int ready = ::select(0, nullptr, &writable, &failed, &limit);
        if (ready == 0) {
            result = 1;
        } else if (ready < 0) {
            result = -1;
        } else {
            int error = 0;
            int length = sizeof error;
            if (::getsockopt(ToSystem(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
                error = ::WSAGetLastError();
            if (error == 0 && FD_ISSET(ToSystem(socket), &failed)) error = WSAECONNREFUSED;
            ::WSASetLastError(error);
            result = error == 0 ? 0 : -1;
        }
    }
    const int saved = ::WSAGetLastError();
    u_long blocking = 0;
    if (::ioctlsocket(ToSystem(socket), FIONBIO, &blocking) != 0 && result == 0) return -1;
    ::WSASetLastError(saved);
    return result;
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
