// Conversions between CSocketAddress and the system's sockaddr_in, shared by both halves of the
// socket layer. Include it after the platform's socket header (sys/socket.h or winsock2.h).
#pragma once

#include "ftp/SocketPlatform.h"

namespace nsSocket::platform {

// Both values of CSocketAddress are kept in network byte order, as sockaddr_in holds them.
inline sockaddr_in ToSystem(const CSocketAddress& address) noexcept {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = address.m_nPort;
    result.sin_addr.s_addr = address.m_nAddress;
    return result;
}

inline void FromSystem(const sockaddr_in& address, CSocketAddress& result) noexcept {
    result = CSocketAddress();
    result.m_nPort = address.sin_port;
    result.m_nAddress = address.sin_addr.s_addr;
}

// Runs getpeername or getsockname (Length is the platform's length type) and converts the
// address it fills in; the result is the system call's.
template <class Length, class Query, class Handle>
int QueryAddress(Query query, Handle socket, CSocketAddress& address) noexcept {
    sockaddr_in system{};
    Length length = sizeof system;
    const int result = query(socket, reinterpret_cast<sockaddr*>(&system), &length);
    if (result == 0) FromSystem(system, address);
    return result;
}

}  // namespace nsSocket::platform
