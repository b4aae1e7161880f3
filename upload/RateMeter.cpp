// The rate line of an upload (see RateMeter.h).
#include "upload/RateMeter.h"

#include <cmath>
#include <cstdio>

namespace tovalo::upload {

void RateMeter::Add(std::uint64_t micros, std::uint64_t sent) {
    samples_.push_back({micros, sent});
    // One sample older than the window stays, so that the window is always spanned.
    while (samples_.size() > 2 && micros - samples_[1].micros >= kWindowMicros) samples_.pop_front();
}

std::optional<double> RateMeter::BytesPerSecond() const {
    if (samples_.size() < 2) return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const std::uint64_t span = last.micros - first.micros;
    if (span < 100'000 || last.sent < first.sent) return std::nullopt;
    return static_cast<double>(last.sent - first.sent) * 1e6 / static_cast<double>(span);
}

bool RateMeter::Due(std::uint64_t micros) {
    if (toldAt_ && micros - *toldAt_ < kTellEveryMicros) return false;
    toldAt_ = micros;
    return true;
}

std::wstring ByteText(double bytes) {
    wchar_t text[64];
    if (bytes >= 1024.0 * 1024.0 * 1024.0) {
        std::swprintf(text, 64, L"%.1f GB", bytes / (1024.0 * 1024.0 * 1024.0));
    } else if (bytes >= 1024.0 * 1024.0) {
        std::swprintf(text, 64, L"%.1f MB", bytes / (1024.0 * 1024.0));
    } else if (bytes >= 1024.0) {
        std::swprintf(text, 64, L"%.1f KB", bytes / 1024.0);
    } else {
        std::swprintf(text, 64, L"%.0f B", bytes);
    }
    return text;
}

std::wstring RateText(double bytesPerSecond, std::uint64_t left) {
    std::wstring line = ByteText(bytesPerSecond) + L"/s";
    if (left == 0 || bytesPerSecond < 1.0) return line;
    const double seconds = std::ceil(static_cast<double>(left) / bytesPerSecond);
    // Beyond a year the figure means nothing but "very long"; it is capped rather than overflowing.
    const auto whole = static_cast<std::uint64_t>(std::fmin(seconds, 365.0 * 24 * 3600));
    std::wstring time;
    if (whole < 60) {
        time = std::to_wstring(whole) + L"초";
    } else if (whole < 3600) {
        time = std::to_wstring(whole / 60) + L"분 " + std::to_wstring(whole % 60) + L"초";
    } else {
        time = std::to_wstring(whole / 3600) + L"시간 " + std::to_wstring(whole % 3600 / 60) + L"분";
    }
    return line + L" · " + time + L" 남음";
}

}  // namespace tovalo::upload
