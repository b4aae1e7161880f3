// CDirListingParser: turns one line of an FTP directory listing (EPLF, UNIX, VMS, MS-DOS) into a CFTPFileStatus.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "ftp/FTPFileStatus.h"

namespace nsFTP {

class CDirListingParser {
public:
    // Returns the current time in seconds since 1970-01-01 UTC.
    using Clock = std::function<std::int64_t()>;

    // Reads the system clock whenever a line needs its year guessed.
    CDirListingParser();
    // Reads the given clock instead (tests and reproducible runs).
    explicit CDirListingParser(Clock clock);
    // A clock that always says nowSeconds.
    static Clock FixedClock(std::int64_t nowSeconds);

    // Resets status, then fills it from line (without its line terminator). True when the line was
    // understood; otherwise status holds a partial record that is to be dropped. Never throws except
    // std::bad_alloc, and std::length_error for a line whose texts pass 4 GiB.
    bool ParseLine(CFTPFileStatus& status, std::string_view line);

    // Seconds since 1970-01-01 UTC of midnight on the given day; month counts from 0 (January).
    // Days beyond the month's length run on into the next month. The caller keeps every component
    // within +-MaxDateField.
    static std::int64_t DateToTime(std::int64_t year, std::int64_t month, std::int64_t day) noexcept;

    // Bound on every year, month, day, hour and minute that enters time arithmetic; lines with larger
    // numbers there are refused rather than overflowing.
    static constexpr std::int64_t MaxDateField = 999'999'999;

private:
    bool ParseEplf(CFTPFileStatus& status, std::string_view line);
    bool ParseUnix(CFTPFileStatus& status, std::string_view line);
    bool ParseVms(CFTPFileStatus& status, std::string_view line);
    bool ParseDos(CFTPFileStatus& status, std::string_view line);

    // Time of (month, day) in the first year, from last year on, at which that date is less than
    // 350 days in the past (or still to come).
    std::int64_t GuessYear(std::int64_t month, std::int64_t day);
    std::int64_t Now() const;

    Clock m_clock;
    std::optional<std::int64_t> m_nCurrentYear;  // computed at the first year guess, kept for the parser's life

    // Year guesses already made while the clock said m_nGuessNow, by month and day of the month: a
    // listing names few dates, and the clock moves on once a second. A new reading starts afresh.
    static constexpr std::size_t kGuessDays = 32;
    static constexpr std::size_t kGuessSlots = 12 * kGuessDays;
    std::int64_t m_nGuessNow = 0;
    std::bitset<kGuessSlots> m_guessKnown;
    std::array<std::int64_t, kGuessSlots> m_guessTimes{};
};

}  // namespace nsFTP
