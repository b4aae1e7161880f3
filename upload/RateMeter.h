// The rate line of an upload: bytes per second over the last few seconds, and the time left at
// that rate ("3.2 MB/s · 12초 남음"). Portable and pure: the caller gives the clock's readings.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace tovalo::upload {

class RateMeter {
public:
    // The rate is taken over this much of the recent past: long enough to smooth the bursts of
    // a socket buffer filling, short enough to follow a link that slows down.
    static constexpr std::uint64_t kWindowMicros = 5'000'000;
    // The line changes at most this often (four times a second).
    static constexpr std::uint64_t kTellEveryMicros = 250'000;

    // sent: every byte the session has sent so far, at micros on a steady clock.
    void Add(std::uint64_t micros, std::uint64_t sent);
    // Bytes per second over the window; nothing until it spans a tenth of a second.
    std::optional<double> BytesPerSecond() const;
    // Whether the line is due again at micros (and, when it is, marks it told).
    bool Due(std::uint64_t micros);

private:
    struct Sample {
        std::uint64_t micros;
        std::uint64_t sent;
    };
    std::deque<Sample> samples_;
    std::optional<std::uint64_t> toldAt_;
};

// A count of bytes as the rate line gives it: "512 B", "3.2 KB", "38.4 MB" (1024-based).
std::wstring ByteText(double bytes);

// "3.2 MB/s · 12초 남음": the rate in B/s, KB/s or MB/s (1024-based, as the list's sizes), then the
// time left for `left` bytes at that rate in seconds, minutes and seconds, or hours and minutes.
// Only the rate while nothing is left or the rate is 0.
std::wstring RateText(double bytesPerSecond, std::uint64_t left);

}  // namespace tovalo::upload
