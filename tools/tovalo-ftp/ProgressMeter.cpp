// tovalo-ftp's progress meter: the line's text and when it is drawn.
#include "tools/tovalo-ftp/ProgressMeter.h"

#include <cstdio>
#include <iterator>
#include <ostream>
#include <utility>

namespace nsFtpCli {
namespace {

std::string Amount(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    std::size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < std::size(kUnits)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%.0f %s", bytes, kUnits[unit]);
    else
        std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string FormatProgress(std::int64_t bytes, std::int64_t total, double seconds) {
    std::string line = "  " + Amount(static_cast<double>(bytes));
    const bool totalKnown = total > 0;
    if (totalKnown) {
        const std::int64_t percent = bytes >= total ? 100 : bytes * 100 / total;
        line += " of " + Amount(static_cast<double>(total)) + "  " + std::to_string(percent) + '%';
    }
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    if (rate > 0) {
        line += "  " + Amount(rate) + "/s";
        if (totalKnown && bytes < total) line += "  " + Duration(static_cast<double>(total - bytes) / rate) + " left";
    }
    return line;
}

CProgressMeter::CProgressMeter(std::ostream& out, Clock clock) : m_out(out), m_clock(std::move(clock)) {}

void CProgressMeter::Start(std::int64_t total) {
    m_bActive = true;
    m_nTotal = total;
    m_nBytes = 0;
    m_dStart = m_clock();
    m_dLastDraw = m_dStart;
    m_nDrawn = 0;
    Draw();
}

void CProgressMeter::Add(int byteCount) {
    if (!m_bActive || byteCount <= 0) return;
    m_nBytes += byteCount;
    if (m_clock() - m_dLastDraw >= kRedrawSeconds) Draw();
}

void CProgressMeter::Draw() {
    const double now = m_clock();
    m_dLastDraw = now;
    std::string line = FormatProgress(m_nBytes, m_nTotal, now - m_dStart);
    const std::size_t length = line.size();
    if (length < m_nDrawn) line.append(m_nDrawn - length, ' ');  // blank out the end of the longer line before
    m_nDrawn = length;
    m_out << '\r' << line << std::flush;
}

void CProgressMeter::End() {
    if (!m_bActive) return;
    Draw();
    m_out << '\n' << std::flush;
    m_bActive = false;
}

void CProgressMeter::OnUploadStart(const std::string&, const std::string&, std::int64_t localSize) { Start(localSize); }
void CProgressMeter::OnDownloadStart(const std::string&, const std::string&, std::int64_t remoteSize) {
    Start(remoteSize);
}
void CProgressMeter::OnDataSent(int byteCount) { Add(byteCount); }
void CProgressMeter::OnDataReceived(int byteCount) { Add(byteCount); }
void CProgressMeter::OnUploadEnd(const std::string&, const std::string&, std::int64_t) { End(); }
void CProgressMeter::OnDownloadEnd(const std::string&, const std::string&, std::int64_t) { End(); }

}  // namespace nsFtpCli
