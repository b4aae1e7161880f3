// CErrorSocket: sends one error report to the web server over an asynchronous socket, without
// telling the user; nothing depends on the answer. Once the server's address is known (the
// session's thread resolves it: a name lookup waits on the network) nothing here waits.
#pragma once

#include "framework/Raii.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace tovalo::upload {

// A host's IPv4 address (network order), a dotted address as it is; 0 when it cannot be
// resolved. It may wait on the network.
std::uint32_t ResolveIPv4(const char* host);

class CErrorSocket {
public:
    CErrorSocket() = default;
    ~CErrorSocket();
    CErrorSocket(const CErrorSocket&) = delete;
    CErrorSocket& operator=(const CErrorSocket&) = delete;

    // Starts a report to host:port, resolved here (it may wait: a dotted address does not), and
    // returns once the socket is connecting. A report that is still connecting is kept
    // (it names the failure that stopped the session) and this one is dropped: false. False also
    // when no socket can be made or the host is unknown; every failure is silent otherwise.
    bool Report(std::int32_t error, const std::string& responseText, const char* host, std::uint16_t port);
    // The same to an address resolved beforehand (IPv4, network order; 0: none), host naming it in
    // the request: a name lookup blocks, so a window's thread does it nowhere.
    bool Report(std::int32_t error, const std::string& responseText, const char* host, std::uint32_t address,
                std::uint16_t port);

    // Gives a report that is still connecting up to timeoutMs, with the thread's messages
    // dispatched, to be sent; then it is given up. For a dialog about to close itself.
    void Flush(DWORD timeoutMs);

    bool Connecting() const { return m_state == State::Connecting; }
    bool Sent() const { return m_bSent; }
    const std::string& Request() const { return m_strRequest; }

    void SetRequest(std::int32_t error, const std::string& responseText, const char* host);

private:
    enum class State { Idle, Connecting, Sent, Closed };

    // Socket notifications, delivered as window messages to the notification window.
    void OnConnect(int error);
    void OnReceive();
    void OnClose();
    void HandleNotification(WPARAM socket, LPARAM event);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool CreateNotifyWindow();
    void CloseSocket();

    std::string m_strRequest;
    bool m_bSent = false;
    State m_state = State::Idle;
    UINT_PTR m_socket = ~static_cast<UINT_PTR>(0);  // INVALID_SOCKET
    fw::UniqueHwnd m_notifyWnd;
};

}  // namespace tovalo::upload
