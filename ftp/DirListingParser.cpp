// CDirListingParser: layout choice and the four line layouts (EPLF, UNIX, MultiNet/VMS, MS-DOS).
#include "ftp/DirListingParser.h"

#include "ftp/Decimal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <ctime>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nsFTP {
namespace {

using std::int64_t;
using std::size_t;
using std::string_view;

constexpr int64_t kSecondsPerDay = 86400;
// Dates without a year are put in the first year that leaves them less than this far in the past.
constexpr int64_t kYearGuessWindow = 350 * kSecondsPerDay;
// Any clock reading is pulled into this range (about 30 million years) so that the year guess
// stays within 64-bit arithmetic whatever the clock says.
constexpr int64_t kClockLimit = 1'000'000'000'000'000;

// A listing field read as a decimal number: leading white space and one sign are accepted, as the
// C library's strtoul does. `whole` says that the number took up the entire field (an empty field
// counts as 0 and whole); `value` is what was read either way. A magnitude beyond 64-bit signed range
// is never whole and saturates.
struct Number {
    int64_t value = 0;
    bool whole = true;
};

// ParseNumber for every field that is not a short run of plain digits.
Number ParseAnyNumber(string_view field) noexcept {
    const SignedDecimal number = LeadingSignedDecimal(field);
    if (number.digits == 0)  // nothing converted, like strtoul
        return {0, false};
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<int64_t>::max());
    if (number.magnitude > kMax)
        return {number.negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max(), false};
    const auto value = static_cast<int64_t>(number.magnitude);
    return {number.negative ? -value : value, number.used == field.size()};
}

Number ParseNumber(string_view field) noexcept {
    // Nearly every field is a short run of plain digits: read those in one pass.
    constexpr size_t kPlainDigitsMax = 18;  // cannot leave the signed 64-bit range
    if (field.size() <= kPlainDigitsMax) {
        size_t digits = 0;
        const std::uint64_t value = LeadingDecimal(field, &digits);
        if (digits == field.size()) return {static_cast<int64_t>(value), true};
    }
    return ParseAnyNumber(field);
}

// ParseNumber for a field of line. A field of up to eight plain digits (nearly every size, day, hour,
// minute and year) is read as one word in a fixed number of steps rather than digit by digit. The
// eight bytes from the field's start have to lie within the line; otherwise ParseNumber decides.
inline Number ParseNumberInLine(string_view line, string_view field) noexcept {
    constexpr size_t kWord = 8;
    const size_t size = field.size();
    const auto readable = static_cast<size_t>(line.data() + line.size() - field.data());
    if (std::endian::native != std::endian::little || size == 0 || size > kWord || readable < kWord)
        return ParseNumber(field);
    constexpr std::uint64_t kEach = 0x0101010101010101ull;  // times a byte: that byte in every lane
    std::uint64_t word = 0;
    std::memcpy(&word, field.data(), kWord);                              // the field's first byte is the lowest
    const std::uint64_t own = ~std::uint64_t{0} >> (8 * (kWord - size));  // the field's bytes
    // A lane is a digit when it is below 0x80, at least '0' and below '9' + 1. A carry out of a lane
    // only reaches the lanes after it, and one out of a field's lane needs that lane's high bit, which
    // rejects the field anyway: the tests of the field's lanes cannot disturb one another.
    const std::uint64_t high = word & (0x80 * kEach);
    const std::uint64_t belowZero = ~(word + (0x80 - '0') * kEach) & (0x80 * kEach);
    const std::uint64_t aboveNine = (word + (0x80 - '9' - 1) * kEach) & (0x80 * kEach);
    if (((high | belowZero | aboveNine) & own) != 0) {
        // Not plain digits. A field that starts above '9' (a group name, say) cannot start with
        // white space, a sign or a digit either: nothing to convert.
        if (static_cast<unsigned char>(field[0]) > '9') return {0, false};
        return ParseAnyNumber(field);
    }
    // Digit values, moved up so that the missing leading digits read as zeros, then combined
    // pairwise: 2 digits per 16 bits, 4 per 32, all 8.
    std::uint64_t v = ((word - '0' * kEach) & own) << (8 * (kWord - size));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFull;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
    return {static_cast<int64_t>(v), true};
}

// A byte count: the field's value when it is wholly a number, otherwise -1 (unknown).
int64_t ParseSize(string_view field) noexcept {
    const Number n = ParseNumber(field);
    return n.whole ? n.value : -1;
}

constexpr bool FitsDateField(int64_t v) noexcept {
    return v >= -CDirListingParser::MaxDateField && v <= CDirListingParser::MaxDateField;
}

template <class... T>
constexpr bool FitDateFields(T... values) noexcept {
    return (FitsDateField(values) && ...);
}

// Month names are compared as three bytes packed into a number. Or-ing 0x20 into a byte folds an
// upper-case ASCII letter to lower case and turns no other byte into a lower-case letter, so a folded
// field equals a lower-case name exactly when the field is that name in any letter case.
constexpr std::uint32_t FoldedByte(char c) noexcept { return static_cast<unsigned char>(c) | 0x20u; }

constexpr std::uint32_t MonthKey(string_view name) noexcept {
    return FoldedByte(name[0]) | FoldedByte(name[1]) << 8 | FoldedByte(name[2]) << 16;
}

// The second and third letters added up tell the twelve names apart within 32 slots, so one look at
// one slot decides (no search, and no branch on which month a line names).
constexpr std::size_t MonthSlot(string_view name) noexcept { return (FoldedByte(name[1]) + FoldedByte(name[2])) % 32; }

constexpr std::array<string_view, 12> kMonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                     "jul", "aug", "sep", "oct", "nov", "dec"};

struct MonthEntry {
    std::uint32_t key = 0;  // no folded name packs to 0: every folded byte has 0x20 set
    int index = -1;
};

constexpr std::array<MonthEntry, 32> kMonthSlots = [] {
    std::array<MonthEntry, 32> slots{};
    for (std::size_t i = 0; i < kMonthNames.size(); ++i)
        slots[MonthSlot(kMonthNames[i])] = {MonthKey(kMonthNames[i]), static_cast<int>(i)};
    return slots;
}();

constexpr bool MonthSlotsDistinct() noexcept {
    for (std::size_t i = 0; i < kMonthNames.size(); ++i)
        if (kMonthSlots[MonthSlot(kMonthNames[i])].index != static_cast<int>(i)) return false;
    return true;
}
static_assert(MonthSlotsDistinct(), "two month names share a slot");

// 0 (January) to 11 for a three-letter English month name in any letter case, otherwise -1.
inline int MonthIndex(string_view field) noexcept {
    if (field.size() != 3) return -1;
    const MonthEntry& entry = kMonthSlots[MonthSlot(field)];
    return entry.key == MonthKey(field) ? entry.index : -1;
}

// Where the spaces of a line are, as a bitmap of 64 bytes at a time: a UNIX line's columns are then
// found with bit operations. Scanning byte by byte (or word by word, again for every column) cost more
// than everything else the parser does.
constexpr std::size_t kBlockSize = 64;

// Bit i set when byte i of the kBlockSize bytes at block is a space.
std::uint64_t SpaceBits(const char* block) noexcept {
    std::uint64_t bits = 0;
#if defined(__SSE2__)
    // Sixteen bytes compared at once, one bit gathered from each.
    const __m128i spaces = _mm_set1_epi8(' ');
    for (std::size_t at = 0; at < kBlockSize; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at));
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, spaces)));
        bits |= static_cast<std::uint64_t>(mask) << at;
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time in a plain word.
        constexpr std::uint64_t kLow7Bits = 0x7F7F7F7F7F7F7F7Full;
        constexpr std::uint64_t kSpaces = 0x2020202020202020ull;
        for (std::size_t at = 0; at < kBlockSize; at += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, block + at, 8);
            const std::uint64_t v = word ^ kSpaces;                                       // spaces become zero bytes
            const std::uint64_t high = ~(((v & kLow7Bits) + kLow7Bits) | v | kLow7Bits);  // 0x80 per space
            // Gathers the eight 0x80 flags into eight adjacent bits (no two partial products overlap).
            bits |= (((high >> 7) * 0x0102040810204080ull) >> 56) << at;
        }
    } else {
        for (std::size_t i = 0; i < kBlockSize; ++i) bits |= static_cast<std::uint64_t>(block[i] == ' ') << i;
    }
#endif
    return bits;
}

// The space-separated columns of a UNIX line. A column runs from a non-space to the next space; a
// column that no space ends (the last one of the line) is never returned, so whatever follows the
// time-or-year column is the name, whatever it contains.
// All column starts and ends of 64 bytes are found at once from the space bitmap and then taken
// lowest bit first; walking position by position made every column wait for the previous one.
class CColumns {
public:
    explicit CColumns(string_view line) noexcept : m_line(line) { Load(0); }

    bool Next(string_view& column) noexcept {
        // Starts and ends alternate, and every call takes one of each: while this block has an end
        // left, the start before it is here too. Nearly every column of a listing line is such a one.
        if (m_ends == 0) {
            column = NextAcrossBlocks();
            return !column.empty();
        }
        const std::size_t start = Lowest(m_starts);
        const std::size_t end = Lowest(m_ends);
        m_starts &= m_starts - 1;
        m_ends &= m_ends - 1;
        column = string_view(m_line.data() + m_base + start, end - start);
        return true;
    }

    // The text after the space that ends column (one that Next returned).
    string_view After(string_view column) const noexcept {
        return m_line.substr(static_cast<std::size_t>(column.data() - m_line.data()) + column.size() + 1);
    }

private:
    void Load(std::size_t base) noexcept {
        m_base = base;
        m_starts = m_ends = 0;
        if (base >= m_line.size()) return;
        const std::size_t count = std::min(kBlockSize, m_line.size() - base);
        std::uint64_t spaces = 0;
        if (count == kBlockSize)
            spaces = SpaceBits(m_line.data() + base);
        else {
            char padded[kBlockSize] = {};  // zero bytes past the end of the line are not spaces
            std::memcpy(padded, m_line.data() + base, count);
            spaces = SpaceBits(padded);
        }
        const std::uint64_t inLine = count == kBlockSize ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
        // Whether the byte before this block is a space; the start of the line counts as one.
        const std::uint64_t before = (base == 0 || m_line[base - 1] == ' ') ? 1 : 0;
        const std::uint64_t spaceBefore = (spaces << 1) | before;
        m_starts = ~spaces & spaceBefore & inLine;
        m_ends = spaces & ~spaceBefore;
    }

    // Offset within the block of the lowest bit of mask, which is not empty. The top bit or-ed in
    // changes nothing then, but tells the compiler so: it drops its own check for an empty mask.
    static std::size_t Lowest(std::uint64_t mask) noexcept {
        return static_cast<unsigned>(std::countr_zero(mask | std::uint64_t{1} << 63));
    }

    // Takes the lowest bit of mask as a position, moving on to the next block while this one has
    // none left.
    bool Pop(std::uint64_t& mask, std::size_t& pos) noexcept {
        while (mask == 0) {
            if (m_base + kBlockSize >= m_line.size() || (m_starts | m_ends) != 0) return false;
            Load(m_base + kBlockSize);
        }
        pos = m_base + Lowest(mask);
        mask &= mask - 1;
        return true;
    }

    // A column that starts or ends in a later block than the one at hand; empty when the line has no
    // further column (a column never is). Kept out of line, so that Next stays small enough to be
    // inlined at every column, and returned by value, so that the caller's column can stay in registers.
    [[gnu::noinline]] string_view NextAcrossBlocks() noexcept {
        std::size_t start = 0;
        std::size_t end = 0;
        if (!Pop(m_starts, start) || !Pop(m_ends, end)) return {};
        return m_line.substr(start, end - start);
    }

    string_view m_line;
    std::size_t m_base = 0;      // first byte of the block the masks describe
    std::uint64_t m_starts = 0;  // column starts not yet taken
    std::uint64_t m_ends = 0;    // column ends not yet taken
};

constexpr int64_t FloorDiv(int64_t a, int64_t b) noexcept {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Proleptic Gregorian year of the day `days` after 1970-01-01.
int64_t YearOfDay(int64_t days) noexcept {
    const int64_t z = days + 719468;  // days since 0000-03-01
    const int64_t era = FloorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    // The year counted from March: January and February belong to the next calendar year.
    return yearOfEra + era * 400 + (monthFromMarch >= 10 ? 1 : 0);
}

// Seconds since 1970 UTC. time() is the cheapest clock to read, and a listing may need it once a line;
// where its time_t has only 32 bits (and would end in 2038) the standard clock takes over.
int64_t SystemNow() {
    if constexpr (sizeof(std::time_t) >= 8)
        return static_cast<int64_t>(std::time(nullptr));
    else
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
}

// Walks a line the way the VMS and MS-DOS layouts need: every scan that would run off the end of the
// line fails, so a truncated line is refused wherever it is cut.
class CLineCursor {
public:
    explicit CLineCursor(string_view line, size_t pos = 0) noexcept : m_line(line), m_pos(pos) {}

    // Advances while pred holds; false if that reaches the end of the line.
    template <class Pred>
    bool SkipWhile(Pred pred) noexcept {
        while (m_pos < m_line.size() && pred(m_line[m_pos])) ++m_pos;
        return m_pos < m_line.size();
    }
    bool SkipSpaces() noexcept {
        return SkipWhile([](char c) { return c == ' '; });
    }
    bool SkipNonSpaces() noexcept {
        return SkipWhile([](char c) { return c != ' '; });
    }

    // Skips one c if the line has it here; false if the end is reached.
    bool SkipOne(char c) noexcept {
        if (m_pos < m_line.size() && m_line[m_pos] == c) ++m_pos;
        return m_pos < m_line.size();
    }

    // The text from here up to the first character for which stop holds (not included); nullopt if
    // the line ends first.
    template <class Stop>
    std::optional<string_view> Until(Stop stop) noexcept {
        const size_t start = m_pos;
        while (m_pos < m_line.size() && !stop(m_line[m_pos])) ++m_pos;
        if (m_pos == m_line.size()) return std::nullopt;
        return m_line.substr(start, m_pos - start);
    }
    std::optional<string_view> UntilChar(char c) noexcept {
        return Until([c](char x) { return x == c; });
    }

    char Peek() const noexcept { return m_line[m_pos]; }  // only while not at the end
    string_view Rest() const noexcept { return m_line.substr(m_pos); }

private:
    string_view m_line;
    size_t m_pos;
};

}  // namespace

CDirListingParser::CDirListingParser() : CDirListingParser(Clock(SystemNow)) {}

CDirListingParser::CDirListingParser(Clock clock) : m_clock(clock ? std::move(clock) : Clock(SystemNow)) {}

CDirListingParser::Clock CDirListingParser::FixedClock(std::int64_t nowSeconds) {
    return [nowSeconds] { return nowSeconds; };
}

// Results count from 1970-01-01 UTC, as the clock does, so no time-origin correction is needed.
std::int64_t CDirListingParser::DateToTime(std::int64_t year, std::int64_t month, std::int64_t day) noexcept {
    // Counts days through 4-year, 100-year and 400-year cycles of years that begin in March, so that
    // a leap day is always the last day of its year; the two "r ==" cases are those last days.
    int64_t y = year;
    int64_t m = month;
    if (m >= 2)
        m -= 2;
    else {
        m += 10;
        --y;
    }
    int64_t r = ((day - 1) * 10 + 5 + 306 * m) / 10;
    if (r == 365) {
        y -= 3;
        r = 1460;
    } else
        r += 365 * (y % 4);
    y /= 4;
    r += 1461 * (y % 25);
    y /= 25;
    if (r == 36524) {
        y -= 3;
        r = 146096;
    } else
        r += 36524 * (y % 4);
    y /= 4;
    return (r + 146097 * y - 719468) * kSecondsPerDay;
}

std::int64_t CDirListingParser::Now() const { return std::clamp<int64_t>(m_clock(), -kClockLimit, kClockLimit); }

std::int64_t CDirListingParser::GuessYear(std::int64_t month, std::int64_t day) {
    const int64_t now = Now();
    if (!m_nCurrentYear) m_nCurrentYear = YearOfDay(FloorDiv(now, kSecondsPerDay));
    if (now != m_nGuessNow) {
        m_guessKnown.reset();
        m_nGuessNow = now;
    }
    const bool cached = month >= 0 && month < 12 && day >= 0 && day < static_cast<int64_t>(kGuessDays);
    const std::size_t slot = cached ? static_cast<std::size_t>(month) * kGuessDays + static_cast<std::size_t>(day) : 0;
    if (cached && m_guessKnown[slot]) return m_guessTimes[slot];
    int64_t t = 0;
    for (int64_t year = *m_nCurrentYear - 1; year < *m_nCurrentYear + 100; ++year) {
        t = DateToTime(year, month, day);
        if (now - t < kYearGuessWindow) break;
    }
    if (cached) {
        m_guessKnown[slot] = true;
        m_guessTimes[slot] = t;
    }
    return t;
}

bool CDirListingParser::ParseLine(CFTPFileStatus& status, std::string_view line) {
    status.Reset();
    if (line.size() < 2) return false;
    switch (line[0]) {
    case '+':
        return ParseEplf(status, line);
    case '-':
    case 'b':
    case 'c':
    case 'd':
    case 'l':
    case 'p':
    case 's':
        return ParseUnix(status, line);
    default:
        break;
    }
    // A byte search is a character search here: ';' is never the second byte of a double-byte
    // character in the Korean (or Japanese and Chinese) code pages.
    if (line.find(';') != string_view::npos) return ParseVms(status, line);
    if (IsDigit(line[0])) return ParseDos(status, line);
    return false;
}

// "+" then facts, each ended by a comma, then a tab and the name: "+i8388621.29609,m824255902,/,\tdev".
bool CDirListingParser::ParseEplf(CFTPFileStatus& status, std::string_view line) {
    size_t factStart = 1;
    for (size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            status.SetName(line.substr(i + 1));
            return true;
        }
        if (c != ',') continue;
        // A fact counts only when a comma ends it; an empty one (",,") is nothing.
        if (i > factStart) {
            const string_view value = line.substr(factStart + 1, i - factStart - 1);
            switch (line[factStart]) {
            case '/':
                status.SetTryChangeDirectory(true);
                break;
            case 'r':
                status.SetTryRetrieve(true);
                break;
            case 's':
                status.SetSizeType(ESizeType::Exact);
                status.SetSize(ParseSize(value));
                break;
            case 'm':
                status.SetModificationTimeType(EModificationTimeType::Absolute);
                status.SetModificationTime(ParseNumber(value).value);
                break;
            case 'i':
                status.SetIdentifierType(EIdentifierType::Full);
                status.SetIdentifier(value);
                break;
            default:
                break;
            }
        }
        factStart = i + 1;
    }
    return false;
}

// "-rw-r--r--   1 owner    group      531 Jan 29 03:26 name" and its NetWare and NetPresenz variants.
bool CDirListingParser::ParseUnix(CFTPFileStatus& status, std::string_view line) {
    switch (line[0]) {
    case '-':
        status.SetTryRetrieve(true);
        break;
    case 'd':
        status.SetTryChangeDirectory(true);
        break;
    case 'l':
        status.SetTryChangeDirectory(true);
        status.SetTryRetrieve(true);
        break;
    default:
        break;
    }

    // Columns in order: permissions, link count, owner (not in NetPresenz folder lines), group or size,
    // size (repeated until a month name), month, day, time or year, then the name.
    CColumns columns(line);
    string_view column;
    const auto number = [line](string_view field) noexcept { return ParseNumberInLine(line, field); };
    if (!columns.Next(column)) return false;
    status.SetPermissions(column);
    if (!columns.Next(column)) return false;
    status.SetLinkCount(column);
    if (!(column.size() == 6 && column[0] == 'f'))  // NetPresenz folders show "folder" and no owner
    {
        if (!columns.Next(column)) return false;
        status.SetOwner(column);
    }
    if (!columns.Next(column)) return false;
    const Number groupOrSize = number(column);
    int64_t size = groupOrSize.whole ? groupOrSize.value : -1;
    if (!groupOrSize.whole) status.SetGroup(column);
    int month = -1;
    for (;;) {
        if (!columns.Next(column)) return false;
        month = MonthIndex(column);
        if (month >= 0) break;
        const Number sizeField = number(column);
        size = sizeField.whole ? sizeField.value : -1;
    }
    if (!columns.Next(column)) return false;
    const int64_t day = number(column).value;
    if (!FitsDateField(day) || !columns.Next(column)) return false;
    // "3:26" or "03:26": a date within the last year; otherwise a year of at least four digits.
    const bool shortClock = column.size() == 4 && column[1] == ':';
    const bool longClock = column.size() == 5 && column[2] == ':';
    if (shortClock || longClock) {
        const size_t colon = shortClock ? 1 : 2;
        const int64_t hours = number(column.substr(0, colon)).value;
        const int64_t minutes = number(column.substr(colon + 1, 2)).value;
        status.SetModificationTimeType(EModificationTimeType::Minute);
        status.SetModificationTime(GuessYear(month, day) + hours * 3600 + minutes * 60);
    } else if (column.size() >= 4) {
        const int64_t year = number(column).value;
        if (!FitsDateField(year)) return false;
        status.SetModificationTimeType(EModificationTimeType::Day);
        status.SetModificationTime(DateToTime(year, month, day));
    } else
        return false;
    // Everything after the one space that ended the time or year, further spaces included.
    string_view name = columns.After(column);

    status.SetSizeType(ESizeType::Exact);
    status.SetSize(size);
    if (line[0] == 'l') {
        const size_t arrow = name.find(" -> ");
        if (arrow != string_view::npos) name = name.substr(0, arrow);
    }
    // NetWare pads the name with three spaces.
    if ((line[1] == ' ' || line[1] == '[') && name.size() >= 4 && name.substr(0, 3) == "   ") name.remove_prefix(3);
    status.SetName(name);
    return true;
}

// "CORE.DIR;1          1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)".
bool CDirListingParser::ParseVms(CFTPFileStatus& status, std::string_view line) {
    const size_t semicolon = line.find(';');
    string_view name = line.substr(0, semicolon);
    constexpr string_view kDirSuffix = ".DIR";
    if (name.size() >= 5 && name.substr(name.size() - kDirSuffix.size()) == kDirSuffix) {
        name.remove_suffix(kDirSuffix.size());
        status.SetTryChangeDirectory(true);
    } else
        status.SetTryRetrieve(true);
    status.SetName(name);

    CLineCursor cur(line, semicolon);
    // The version, then the size/allocation column that is not kept.
    if (!cur.SkipNonSpaces() || !cur.SkipSpaces() || !cur.SkipNonSpaces() || !cur.SkipSpaces()) return false;
    const auto dayField = cur.UntilChar('-');
    if (!dayField || !cur.SkipOne('-')) return false;
    const auto monthField = cur.UntilChar('-');
    if (!monthField) return false;
    const int month = MonthIndex(*monthField);
    if (month < 0 || !cur.SkipOne('-')) return false;
    const auto yearField = cur.UntilChar(' ');
    if (!yearField || !cur.SkipSpaces()) return false;
    const auto hoursField = cur.UntilChar(':');
    if (!hoursField || !cur.SkipOne(':')) return false;
    const auto minutesField = cur.Until([](char c) { return c == ':' || c == ' '; });
    if (!minutesField) return false;

    const int64_t day = ParseNumber(*dayField).value;
    const int64_t year = ParseNumber(*yearField).value;
    const int64_t hours = ParseNumber(*hoursField).value;
    const int64_t minutes = ParseNumber(*minutesField).value;
    if (!FitDateFields(day, year, hours, minutes)) return false;
    status.SetModificationTimeType(EModificationTimeType::Minute);
    status.SetModificationTime(DateToTime(year, month, day) + hours * 3600 + minutes * 60);
    return true;
}

// "04-14-00  03:47PM                  589 readme.htm" and "07-18-00  10:16AM       <DIR>          pub".
bool CDirListingParser::ParseDos(CFTPFileStatus& status, std::string_view line) {
    CLineCursor cur(line);
    const auto monthField = cur.UntilChar('-');
    if (!monthField || !cur.SkipOne('-')) return false;
    const auto dayField = cur.UntilChar('-');
    if (!dayField || !cur.SkipOne('-')) return false;
    const auto yearField = cur.UntilChar(' ');
    if (!yearField || !cur.SkipSpaces()) return false;
    const auto hoursField = cur.UntilChar(':');
    if (!hoursField || !cur.SkipOne(':')) return false;
    const auto minutesField = cur.Until([](char c) { return c == 'A' || c == 'P'; });
    if (!minutesField) return false;

    const int64_t month = ParseNumber(*monthField).value - 1;
    const int64_t day = ParseNumber(*dayField).value;
    int64_t year = ParseNumber(*yearField).value;
    int64_t hours = ParseNumber(*hoursField).value;
    const int64_t minutes = ParseNumber(*minutesField).value;
    if (!FitDateFields(month, day, year, hours, minutes)) return false;
    // Two-digit years: 00-49 are this century, 50-99 the last.
    if (year < 50) year += 2000;
    if (year < 1000) year += 1900;
    if (hours == 12) hours = 0;
    if (cur.Peek() == 'P') hours += 12;
    if (!cur.SkipOne(cur.Peek()) || !cur.SkipOne('M') || !cur.SkipSpaces()) return false;

    if (cur.Peek() == '<') {
        status.SetTryChangeDirectory(true);
        if (!cur.SkipNonSpaces()) return false;
    } else {
        const auto sizeField = cur.UntilChar(' ');
        if (!sizeField) return false;
        status.SetSizeType(ESizeType::Exact);
        status.SetSize(ParseSize(*sizeField));
        status.SetTryRetrieve(true);
    }
    if (!cur.SkipSpaces()) return false;
    status.SetName(cur.Rest());
    status.SetModificationTimeType(EModificationTimeType::Minute);
    status.SetModificationTime(DateToTime(year, month, day) + hours * 3600 + minutes * 60);
    return true;
}

}  // namespace nsFTP
