// CErrorNotify: log lines and progress from the FTP client's notifications.
#include "upload/ErrorNotify.h"

#include "framework/MessagePump.h"

#include <commctrl.h>

namespace tovalo::upload {
namespace {

// The first bytes of the text in upper case, aware of double-byte characters (whose bytes are
// left as they are).
std::string UpperPrefix(const std::string& text, size_t count) {
    std::string prefix;
    for (size_t i = 0; i < text.size() && prefix.size() < count; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (::IsDBCSLeadByte(byte) && i + 1 < text.size()) {
            prefix += text[i];
            prefix += text[++i];
        } else {
            prefix += (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 'a' + 'A') : text[i];
        }
    }
    return prefix.substr(0, count);
}

std::string TransferLine(const char* what, const std::string& localPath, const std::string& remotePath,
                         std::int64_t size) {
    return std::string(what) + " source file : " + localPath + "target file : " + remotePath +
           "Size : " + std::to_string(static_cast<std::uint32_t>(size));
}

}  // namespace

bool IsHiddenCommand(const std::string& command) {
    const std::string head = UpperPrefix(command, 4);
    return head == "PASS" || head == "USER";
}

bool IsHiddenReply(const std::string& reply) {
    const std::string head = reply.substr(0, 3);
    return head == "331" || head == "230";
}

void CErrorNotify::AppendLine(const std::string& text) {
    if (m_bMuted) return;
    m_strLog += text;
    m_strLog += "\r\n";
    if (m_hLogWnd) ::SetWindowTextA(m_hLogWnd, m_strLog.c_str());
    PumpMessages();
}

bool CErrorNotify::PumpMessages() { return fw::DispatchWaiting() == fw::Pump::kGoOn; }

void CErrorNotify::OnErrorReport(const std::string& message, const std::string&, int) { AppendLine(message); }

void CErrorNotify::StartCounting(std::int64_t total) {
    m_dBytes = 0;
    m_dTotal = static_cast<double>(total);
    m_nPercent = 0;
}

void CErrorNotify::OnDataSent(int byteCount) {
    if (m_bMuted) return;
    m_dBytes += byteCount;
    // An unknown or empty total cannot give a percentage; the bar stays where it is.
    if (m_dTotal > 0) {
        const double percent = m_dBytes * 100 / m_dTotal;
        if (m_nPercent < percent) {
            m_nPercent = static_cast<int>(percent);
            if (m_pProgress) ::SendMessageW(m_pProgress, PBM_SETPOS, static_cast<WPARAM>(m_nPercent), 0);
        }
    }
    PumpMessages();
}

void CErrorNotify::OnDownloadStart(const std::string&, const std::string&, std::int64_t remoteSize) {
    if (m_bMuted) return;
    StartCounting(remoteSize);
}

void CErrorNotify::OnUploadStart(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) {
    if (m_bMuted) return;
    StartCounting(localSize);
    AppendLine(TransferLine("[start transfer]", localPath, remotePath, localSize));
}

void CErrorNotify::OnUploadEnd(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) {
    AppendLine(TransferLine("[end transfer]", localPath, remotePath, localSize));
}

void CErrorNotify::OnCommandSent(const std::string& command) {
    if (!IsHiddenCommand(command)) AppendLine(command);
}

void CErrorNotify::OnReplyLine(const std::string& line) {
    if (!IsHiddenReply(line)) AppendLine(line);
}

}  // namespace tovalo::upload
