// tovalo-ftp's progress meter: one line on a terminal, redrawn in place while get or put moves bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "ftp/FtpClient.h"

namespace nsFtpCli {

// The meter's text: bytes moved, "of" the total and the percentage when the total is known (above
// 0), the mean rate since the start, and the time left when both the total and a rate are known.
// For example "  12.5 MiB of 256.0 MiB   4%  98.1 MiB/s  0:02 left".
std::string FormatProgress(std::int64_t bytes, std::int64_t total, double seconds);

// Draws the meter for each upload and download of the client it observes: a redraw at most every
// tenth of a second, each over the last ("\r" and blanks, no escape sequences), and a final line
// when the transfer ends. Listings are not metered.
class CProgressMeter final : public nsFTP::CFTPClient::CNotifaction {
public:
    // Seconds on a clock that only moves forward.
    using Clock = std::function<double()>;

    CProgressMeter(std::ostream& out, Clock clock);

    void OnUploadStart(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) override;
    void OnDownloadStart(const std::string& remotePath, const std::string& localPath, std::int64_t remoteSize) override;
    void OnDataSent(int byteCount) override;
    void OnDataReceived(int byteCount) override;
    void OnUploadEnd(const std::string& localPath, const std::string& remotePath, std::int64_t localSize) override;
    void OnDownloadEnd(const std::string& remotePath, const std::string& localPath, std::int64_t remoteSize) override;

    static constexpr double kRedrawSeconds = 0.1;

private:
    void Start(std::int64_t total);
    void Add(int byteCount);
    void Draw();
    void End();

    std::ostream& m_out;
    Clock m_clock;
    bool m_bActive = false;
    std::int64_t m_nTotal = 0;
    std::int64_t m_nBytes = 0;
    double m_dStart = 0;
    double m_dLastDraw = 0;
    std::size_t m_nDrawn = 0;  // length of the line on screen
};

}  // namespace nsFtpCli
