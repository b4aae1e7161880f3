// A scripted FTP server for tests: one control connection on 127.0.0.1, exact replies, recorded command lines.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/BlockingSocket.h"

namespace tovalo_test {

// What the server does on the data connection after sending a step's reply.
enum class EData {
    None,     // nothing: no data connection is made
    Send,     // open it, send the payload, close it, send the final reply
    Receive,  // open it, read until the client closes it, send the final reply
    Hold,     // open it, send the payload and keep it open; later command lines are answered meanwhile
    // Active mode: a third party on 127.0.0.2 reaches the PORT address first and sends kIntruderBytes
    // (or, uploading, waits for what it is given); then as Send or Receive.
    IntruderThenSend,
    IntruderThenReceive,
};

inline constexpr const char* kIntruderBytes = "INJECTED";

// The answer to one command line.
struct CScriptStep {
    CScriptStep(std::string replyText, EData dataAction = EData::None, std::string dataPayload = {},  // NOLINT
                std::string final = {})
        : reply(std::move(replyText)),
          data(dataAction),
          payload(std::move(dataPayload)),
          finalReply(std::move(final)) {}
    CScriptStep(const char* replyText) : CScriptStep(std::string(replyText)) {}  // NOLINT: a step is its reply

    // Sent with "\r\n" appended; "" stays silent. "{pasv}" becomes "h1,h2,h3,h4,p1,p2" of a fresh
    // passive listener on 127.0.0.1 (the host part as given to the server). "{pause}" splits the text
    // into pieces sent kPartPause apart. A reply ending in "{endless}" sends its last line again and
    // again, without end, until the client closes the connection (or the server's patience ends).
    std::string reply;
    EData data = EData::None;
    std::string payload;     // EData::Send and EData::Hold
    std::string finalReply;  // EData::Send and EData::Receive; "" sends nothing
};

// Accepts one client, sends the greeting parts (a pause between them, each sent as given), then
// answers the n-th command line with the n-th step. After the script it answers QUIT with 221 and
// anything else with 502, until the client closes the connection. PORT lines are remembered so
// that an active data connection can be made to the client.
class CScriptedFtpServer {
public:
    CScriptedFtpServer(std::vector<std::string> greeting, std::vector<CScriptStep> steps,
                       std::string pasvHost = "127,0,0,1");
    ~CScriptedFtpServer();
    CScriptedFtpServer(const CScriptedFtpServer&) = delete;
    CScriptedFtpServer& operator=(const CScriptedFtpServer&) = delete;

    unsigned Port() const noexcept { return m_nPort; }
    // Waits until the client has closed the connection (or the server gave up waiting).
    void Finish();

    // Valid after Finish.
    std::vector<std::string> Commands() const;
    const std::string& DataReceived() const noexcept { return m_strDataReceived; }
    bool DataConnectionMade() const noexcept { return m_bDataConnectionMade; }
    // For each command line that arrived while a held data connection was open: whether the client
    // had closed that connection by then.
    const std::vector<bool>& HeldDataClosedAtCommand() const noexcept { return m_vHeldClosed; }
    // How a data connection still held when the client left ended: "closed" in order, "reset", or
    // "open" (still, after a while); "" when none was held then.
    const std::string& HeldDataEnd() const noexcept { return m_strHeldEnd; }
    // The PORT address the client gave last (host order), 0 when none.
    std::uint16_t LastPortLinePort() const noexcept { return m_nActivePort; }
    // What the intruder of IntruderThenReceive was given.
    const std::string& IntruderReceived() const noexcept { return m_strIntruderReceived; }

    // Greeting parts are separated by this pause.
    static constexpr std::chrono::milliseconds kPartPause{200};

private:
    void Run();
    void Serve(nsSocket::CBlockingSocket& control);
    bool ReadCommand(nsSocket::CBlockingSocket& control, std::string& pending, std::string& line);
    void SendText(nsSocket::CBlockingSocket& socket, const std::string& text);
    void SendReply(nsSocket::CBlockingSocket& control, const std::string& reply);
    void Intrude();
    void OpenData(nsSocket::CBlockingSocket& data);
    void DrainHeld();
    void EndHeld();
    std::string PassiveText();

    std::vector<std::string> m_greeting;
    std::vector<CScriptStep> m_steps;
    std::string m_strPasvHost;
    nsSocket::CBlockingSocket m_listener;
    nsSocket::CBlockingSocket m_pasvListener;
    nsSocket::CBlockingSocket m_held;
    unsigned m_nPort = 0;
    std::uint16_t m_nActivePort = 0;
    std::uint32_t m_nActiveHost = 0;

    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::string m_strDataReceived;
    std::string m_strIntruderReceived;
    std::string m_strHeldEnd;
    bool m_bDataConnectionMade = false;
    std::vector<bool> m_vHeldClosed;
    std::thread m_thread;
};

// "220 ..." and the like with the line end a server sends.
inline std::string Line(const std::string& text) { return text + "\r\n"; }

}  // namespace tovalo_test
