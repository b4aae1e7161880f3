// CErrorNotify: the upload dialog's observer of the socket-level FTP client. It writes the
// client's commands, replies and errors as lines of the dialog's log, keeps the account's USER
// and PASS exchange out of it, and moves the current-file bar by the bytes sent.
#pragma once

#include "ftp/FtpClient.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace tovalo::upload {

class CErrorNotify final : public nsFTP::CFTPClient::CNotifaction {
public:
    CErrorNotify() = default;
    ~CErrorNotify() = default;
    CErrorNotify(const CErrorNotify&) = delete;
    CErrorNotify& operator=(const CErrorNotify&) = delete;

    void OnErrorReport(const std::string& message, const std::string& sourceFile, int line) override;
    void OnDataSent(int byteCount) override;
    void OnDownloadStart(const std::string& remotePath, const std::string& localPath, std::int64_t remoteSize) override;
    void OnUploadStart(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) override;
    void OnUploadEnd(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) override;
    void OnCommandSent(const std::string& command) override;
    void OnReplyLine(const std::string& line) override;

    // Wiring by the dialog: the log edit control and the bar (range 0 to 100) that sent bytes move.
    void SetLogWindow(HWND log) { m_hLogWnd = log; }
    void SetProgress(HWND bar) { m_pProgress = bar; }
    void Mute(bool muted) { m_bMuted = muted; }
    bool Muted() const { return m_bMuted; }
    const std::string& Log() const { return m_strLog; }
    int Percent() const { return m_nPercent; }

    // The one path by which lines reach the log.
    void AppendLine(const std::string& text);
    // Dispatches waiting messages; false when a quit message was met (it is posted again).
    static bool PumpMessages();

private:
    // A transfer sets what 100 percent is and starts counting from zero.
    void StartCounting(std::int64_t total);

    std::string m_strLog;
    HWND m_pProgress = nullptr;
    HWND m_hLogWnd = nullptr;
    bool m_bMuted = false;
    double m_dBytes = 0;
    double m_dTotal = 0;
    int m_nPercent = 0;
};

// Whether the log leaves a command line or a reply line out: USER and PASS in any case, and
// the replies 331 and 230 that answer them.
bool IsHiddenCommand(const std::string& command);
bool IsHiddenReply(const std::string& reply);

}  // namespace tovalo::upload
