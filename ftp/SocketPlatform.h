// The system calls behind the blocking sockets: one declaration, a POSIX and a Windows Sockets half.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ftp/BlockingSocket.h"

namespace nsSocket::platform {

// The calling thread's last socket error (WSAGetLastError or errno).
int LastError() noexcept;
// The thread's last error of any system call (GetLastError or errno).
int LastSystemError() noexcept;
// The system's message for an error code; empty when it has none.
std::string ErrorText(int code);
// True for the "interrupted call" code that makes Accept give up without raising.
bool IsInterrupted(int code) noexcept;

bool StartLibrary() noexcept;
void StopLibrary() noexcept;

// Each returns kNoSocket or a negative value on failure, leaving the error for LastError.
SocketHandle OpenSocket(int type) noexcept;
int CloseSocket(SocketHandle socket) noexcept;
int Bind(SocketHandle socket, const CSocketAddress& address) noexcept;
int Listen(SocketHandle socket, int backlog) noexcept;
SocketHandle Accept(SocketHandle socket, CSocketAddress& address) noexcept;
int Connect(SocketHandle socket, const CSocketAddress& address) noexcept;
// Connects waiting at most wait: 0 connected, > 0 time-out, < 0 failure (the error left for LastError).
// The socket is blocking again afterwards.
int ConnectWithin(SocketHandle socket, const CSocketAddress& address, std::chrono::milliseconds wait) noexcept;
// > 0 ready, 0 time-out, < 0 failure.
int WaitReady(SocketHandle socket, bool forWriting, std::chrono::milliseconds wait) noexcept;
std::ptrdiff_t Send(SocketHandle socket, const char* data, std::size_t count) noexcept;
std::ptrdiff_t Receive(SocketHandle socket, char* buffer, std::size_t size) noexcept;
std::ptrdiff_t ReceiveFrom(SocketHandle socket, char* buffer, std::size_t size, CSocketAddress& sender) noexcept;
std::ptrdiff_t SendTo(SocketHandle socket, const char* data, std::size_t count, const CSocketAddress& target) noexcept;
int PeerName(SocketHandle socket, CSocketAddress& address) noexcept;
int SockName(SocketHandle socket, CSocketAddress& address) noexcept;

// First IPv4 address of a host (network order); false when the name does not resolve.
bool ResolveHost(const std::string& host, std::uint32_t& networkAddress);
// Name of the host at an IPv4 address (network order); false when there is none.
bool HostName(std::uint32_t networkAddress, std::string& name);
// inet_addr and inet_ntoa, network order.
std::uint32_t ParseDotted(const std::string& text) noexcept;
std::string FormatDotted(std::uint32_t networkAddress);

}  // namespace nsSocket::platform
