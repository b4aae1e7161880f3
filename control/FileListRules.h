// The file list's rules that need no window: size texts and categories, names and extensions,
// the limit test, decimal readings and the server-entry text of the page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovalo {

// A row's path column starts with this when the row stands for a file already on the server.
inline constexpr std::wstring_view kServerPrefix = L"^^^";

inline bool IsServerPath(std::wstring_view path) { return path.substr(0, kServerPrefix.size()) == kServerPrefix; }

// Larger files must be split before they are attached; exactly 1 GiB is still taken.
inline constexpr std::uint64_t kMaxFileSize = 0x40000000;

// "1024 Bytes", "1.0 KBytes", "1024.0 KBytes", "1.0 MBytes", "1.0 GBytes": the size column. The size
// is read as a signed 32-bit count, as the list has always shown it.
std::string SizeText(std::uint32_t size);

// The image of a row under the size-category icons: 0 up to 1 MiB, 1 up to 5 MiB, 2 up to 10 MiB,
// 3 above (each bound belongs to the lower category).
int SizeCategory(std::uint64_t size);

// The text after the first "." of a name ("2009.doc" for "report.2009.doc"), or "-" without one.
std::wstring ExtensionOf(std::wstring_view name);

// What the shell goes by when it names a file's type and icon without opening it: the file name's
// text from its last "." on (".pdf" for "report.2009.pdf"), or "" without one.
std::wstring_view ShellExtensionOf(std::wstring_view path);

// Whether an extension may end a probe file's name: it must not reach out of the probe folder
// (no "\", "/", ":" or "..").
bool IsPlainExtension(std::wstring_view extension);

// Whether a file of size bytes may join a list holding current bytes under the strict limit
// (current + size < limit), without the sum wrapping whatever the operands.
bool FitsUnderLimit(std::uint64_t limit, std::uint64_t current, std::uint64_t size);

// What the size limit says to one more file. The list counts in 32 bits while a 32-bit limit is
// set (non-zero), else in 64 bits, where a limit of 0 means the page gave none.
enum class LimitVerdict { kFits, kOverLimit, kNoLimit };
struct SizeTotals {
    std::uint32_t limit32;
    std::uint32_t current32;
    std::uint64_t limit64;
    std::uint64_t current64;
};
LimitVerdict JudgeLimit(const SizeTotals& totals, std::uint64_t size);

// total - amount, or 0 when amount is not smaller.
inline std::uint64_t SaturatingSubtract(std::uint64_t total, std::uint64_t amount) {
    return total > amount ? total - amount : 0;
}

// A decimal number as C's strtol reads it into a 32-bit long (blanks, sign, digits; values beyond
// the range stop at its ends; no digits give 0).
std::int32_t ParseLong(std::string_view text);

// An unsigned decimal number of at most 64 bits (digits only; values beyond stop at the maximum).
std::uint64_t ParseUnsigned(std::string_view text);

// One record of the getFileShow text: server reference, size, name.
struct ServerRecord {
    std::string reference;
    std::uint32_t size;
    std::string name;
};

// The pieces of text between separators, runs of separators and separators at either end
// skipped (so an empty field does not keep its place).
std::vector<std::string_view> Tokens(std::string_view text, char separator);

// Records are separated by ":", fields by "|": reference, size, and as name the last field of a
// record. A record of fewer than three fields is skipped.
std::vector<ServerRecord> ParseServerRecords(std::string_view text);

}  // namespace tovalo
