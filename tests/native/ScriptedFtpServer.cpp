// The scripted FTP server's thread: greeting, one scripted answer per command line, data connections.
#include "ScriptedFtpServer.h"

#include <cstdio>
#include <stdexcept>

#include <netinet/in.h>
#include <sys/socket.h>

namespace tovalo_test {
namespace {

// No test waits this long unless something is broken: the server then gives up instead of hanging.
constexpr unsigned kSafetySeconds = 10;

}  // namespace

CScriptedFtpServer::CScriptedFtpServer(std::vector<std::string> greeting, std::vector<CScriptStep> steps,
                                       std::string pasvHost)
    : m_greeting(std::move(greeting)), m_steps(std::move(steps)), m_strPasvHost(std::move(pasvHost)) {
    m_listener.Create(nsSocket::kStreamSocket);
    m_listener.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
    m_listener.Listen();
    nsSocket::CSocketAddress bound;
    m_listener.GetSockName(bound);
    m_nPort = bound.Port();
    m_thread = std::thread([this] { Run(); });
}

CScriptedFtpServer::~CScriptedFtpServer() { Finish(); }

void CScriptedFtpServer::Finish() {
    if (m_thread.joinable()) m_thread.join();
}

std::vector<std::string> CScriptedFtpServer::Commands() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

void CScriptedFtpServer::Run() {
    try {
        nsSocket::CBlockingSocket control;
        nsSocket::CSocketAddress peer;
        if (!m_listener.Accept(control, peer, kSafetySeconds)) return;
        Serve(control);
    } catch (const nsSocket::CBlockingSocketException&) {
        // The client went away or never came: the test judges by what was recorded.
    }
}

void CScriptedFtpServer::SendText(nsSocket::CBlockingSocket& socket, const std::string& text) {
    if (!text.empty()) socket.SendAll(text.data(), text.size(), kSafetySeconds);
}

bool CScriptedFtpServer::ReadCommand(nsSocket::CBlockingSocket& control, std::string& pending, std::string& line) {
    char buffer[4096];
    std::size_t lineFeed;
    while ((lineFeed = pending.find('\n')) == std::string::npos) {
        const std::size_t received = control.Receive(buffer, sizeof buffer, kSafetySeconds);
        if (received == 0) return false;
        pending.append(buffer, received);
    }
    line = pending.substr(0, lineFeed);
    pending.erase(0, lineFeed + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void CScriptedFtpServer::SendReply(nsSocket::CBlockingSocket& control, const std::string& reply) {
    static const std::string kPause = "{pause}";
    static const std::string kEndless = "{endless}";
    std::string text = reply;
    const bool endless =
        text.size() >= kEndless.size() && text.compare(text.size() - kEndless.size(), kEndless.size(), kEndless) == 0;
    if (endless) text.resize(text.size() - kEndless.size());
    for (std::size_t at = 0;;) {
        const std::size_t pause = text.find(kPause, at);
        if (pause == std::string::npos) {
            SendText(control, text.substr(at) + "\r\n");  // the last piece and its line end in one send
            break;
        }
        SendText(control, text.substr(at, pause - at));
        std::this_thread::sleep_for(kPartPause);
        at = pause + kPause.size();
    }
    if (!endless) return;
    const std::string line = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1) + "\r\n";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kSafetySeconds);
    while (std::chrono::steady_clock::now() < until) {
        SendText(control, line);  // raises once the client has gone
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CScriptedFtpServer::Intrude() {
    // Linux answers every 127.0.0.0/8 address on loopback: the intruder is another host to the client.
    nsSocket::CBlockingSocket intruder;
    intruder.Create(nsSocket::kStreamSocket);
    intruder.Bind(nsSocket::CSocketAddress("127.0.0.2", 0));
    intruder.Connect(nsSocket::CSocketAddress(m_nActiveHost, m_nActivePort));
    intruder.SendAll(kIntruderBytes, std::char_traits<char>::length(kIntruderBytes), kSafetySeconds);
    char buffer[4096];
    try {
        // Whatever the client gives the intruder arrives at once, or never.
        std::size_t received;
        while ((received = intruder.Receive(buffer, sizeof buffer, 1)) != 0) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_strIntruderReceived.append(buffer, received);
        }
    } catch (const nsSocket::CBlockingSocketException&) {
        // Nothing more: the client keeps the connection open or reset it.
    }
}

std::string CScriptedFtpServer::PassiveText() {
    m_pasvListener.Create(nsSocket::kStreamSocket);
    m_pasvListener.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
    m_pasvListener.Listen();
    nsSocket::CSocketAddress bound;
    m_pasvListener.GetSockName(bound);
    return m_strPasvHost + "," + std::to_string(bound.Port() / 256) + "," + std::to_string(bound.Port() % 256);
}

void CScriptedFtpServer::OpenData(nsSocket::CBlockingSocket& data) {
    if (m_pasvListener.IsOpen()) {
        nsSocket::CSocketAddress peer;
        m_pasvListener.Accept(data, peer, kSafetySeconds);
        m_pasvListener.CloseQuietly();
    } else {
        // Tests never reach beyond the loopback network, whatever a client under test says.
        if ((m_nActiveHost >> 24) != 127) throw std::runtime_error("PORT outside 127.0.0.0/8");
        data.Create(nsSocket::kStreamSocket);
        data.Connect(nsSocket::CSocketAddress(m_nActiveHost, m_nActivePort));
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bDataConnectionMade = true;
}

void CScriptedFtpServer::DrainHeld() {
    bool closed = false;
    char buffer[4096];
    try {
        for (;;) {
            const std::size_t received = m_held.Receive(buffer, sizeof buffer, 0);
            if (received == 0) {
                closed = true;
                break;
            }
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_strDataReceived.append(buffer, received);
        }
    } catch (const nsSocket::CBlockingSocketException&) {
        // Nothing more right now: the connection is still open.
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_vHeldClosed.push_back(closed);
}

void CScriptedFtpServer::EndHeld() {
    char buffer[65536];
    std::string end = "closed";
    try {
        while (m_held.Receive(buffer, sizeof buffer, 2) != 0) {
        }
    } catch (const nsSocket::CBlockingSocketException& exception) {
        end = exception.m_strOperation == "Receive" ? "reset" : "open";
    }
    m_held.CloseQuietly();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_strHeldEnd = end;
}

void CScriptedFtpServer::Serve(nsSocket::CBlockingSocket& control) {
    for (std::size_t i = 0; i < m_greeting.size(); ++i) {
        if (i != 0) std::this_thread::sleep_for(kPartPause);
        SendText(control, m_greeting[i]);
    }
    std::string pending;
    std::string line;
    for (std::size_t step = 0; ReadCommand(control, pending, line); ++step) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_commands.push_back(line);
        }
        if (m_held.IsOpen()) DrainHeld();
        if (line.rfind("PORT ", 0) == 0) {
            unsigned h1 = 0, h2 = 0, h3 = 0, h4 = 0, p1 = 0, p2 = 0;
            if (std::sscanf(line.c_str() + 5, "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) == 6) {
                m_nActiveHost = (h1 << 24) | (h2 << 16) | (h3 << 8) | h4;
                m_nActivePort = static_cast<std::uint16_t>(p1 * 256 + p2);
            }
        }
        if (step >= m_steps.size()) {
            SendText(control, line == "QUIT" ? Line("221 Bye") : Line("502 Not scripted"));
            continue;
        }
        const CScriptStep& script = m_steps[step];
        std::string reply = script.reply;
        if (const std::size_t at = reply.find("{pasv}"); at != std::string::npos) reply.replace(at, 6, PassiveText());
        if (!reply.empty()) SendReply(control, reply);
        if (script.data == EData::None) continue;

        const bool intruder = script.data == EData::IntruderThenSend || script.data == EData::IntruderThenReceive;
        if (intruder) Intrude();
        nsSocket::CBlockingSocket data;
        OpenData(data);
        if (script.data == EData::Hold) {
            SendText(data, script.payload);
            m_held = std::move(data);
            continue;
        }
        if (script.data == EData::Send || script.data == EData::IntruderThenSend) {
            try {
                SendText(data, script.payload);
            } catch (const nsSocket::CBlockingSocketException&) {
                // The client closed the data connection early; a real server still sends its reply.
            }
        } else {
            char buffer[65536];
            std::size_t received;
            while ((received = data.Receive(buffer, sizeof buffer, kSafetySeconds)) != 0) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_strDataReceived.append(buffer, received);
            }
        }
        data.Close();
        if (!script.finalReply.empty()) SendText(control, script.finalReply + "\r\n");
    }
    if (m_held.IsOpen()) EndHeld();
}

}  // namespace tovalo_test
