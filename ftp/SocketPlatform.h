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
// True for the code of an operation that found the socket not ready: wait, then try again.
bool WouldBlock(int code) noexcept;
// True for the code of a connection attempt that goes on after the call.
bool ConnectPending(int code) noexcept;

bool StartLibrary() noexcept;
void StopLibrary() noexcept;

// Each returns kNoSocket or a negative value on failure, leaving the error for LastError.
// A non-blocking socket and, on Windows, the event that reports its readiness (kNoEvent elsewhere).
SocketHandle OpenSocket(int type, EventHandle& event) noexcept;
int CloseSocket(SocketHandle socket, EventHandle event) noexcept;
// The next close ends the connection with a reset.
void ResetOnClose(SocketHandle socket) noexcept;
int Bind(SocketHandle socket, const CSocketAddress& address) noexcept;
int Listen(SocketHandle socket, int backlog) noexcept;
// A queued connection (kNoSocket and a WouldBlock error when none is), made as OpenSocket makes one.
SocketHandle Accept(SocketHandle socket, CSocketAddress& address, EventHandle& event) noexcept;
// Starts a connection attempt: 0 connected, else the error (ConnectPending: wait for writing, then
// ask ConnectOutcome).
int Connect(SocketHandle socket, const CSocketAddress& address) noexcept;
// 0 connected, > 0 still pending, < 0 failed (the error left for LastError).
int ConnectOutcome(SocketHandle socket) noexcept;

enum class EWait {
    Ready,      // the socket may be ready (or the wait ended for another reason): try again
    TimedOut,   // wait passed
    Cancelled,  // the cancel signal is raised
    Failed,     // the wait itself failed (the error left for LastError)
};
// Waits at most wait (milliseconds::max(): without bound) for the socket to become readable or
// writable (a listener: to have a connection), or for cancel (may be null) to be raised.
EWait Wait(SocketHandle socket, EventHandle event, bool forWriting, const CCancelSignal* cancel,
           std::chrono::milliseconds wait) noexcept;

// Non-blocking: a negative result and a WouldBlock error when the socket is not ready.
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
