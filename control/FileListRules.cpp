// The file list's rules that need no window (see FileListRules.h).
#include "control/FileListRules.h"

#include "control/SizeText.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace tovalo {

std::string SizeText(std::uint32_t size) {
    const auto bytes = static_cast<std::int32_t>(size);
    char text[48];
    if (bytes <= 1024) {
        std::snprintf(text, sizeof text, "%d Bytes", static_cast<int>(bytes));
        return text;
    }
    // The bytes below a whole kilobyte are dropped before any further step.
    const double kilo = static_cast<double>(bytes / 1024);
    if (kilo <= 1024) {
        std::snprintf(text, sizeof text, "%0.1f KBytes", kilo);
        return text;
    }
    const double mega = kilo / 1024;
    if (mega <= 1024) {
        std::snprintf(text, sizeof text, "%0.1f MBytes", mega);
    } else {
        std::snprintf(text, sizeof text, "%0.1f GBytes", mega / 1024);
    }
    return text;
}

int SizeCategory(std::uint64_t size) {
    if (size > 0xA00000) return 3;
    if (size > 0x500000) return 2;
    if (size > 0x100000) return 1;
    return 0;
}

std::wstring ExtensionOf(std::wstring_view name) {
    const size_t dot = name.find(L'.');
    return dot == std::wstring_view::npos ? std::wstring(L"-") : std::wstring(name.substr(dot + 1));
}

std::wstring_view ShellExtensionOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);
}

bool IsPlainExtension(std::wstring_view extension) {
    return extension.find_first_of(L"\\/:") == std::wstring_view::npos &&
           extension.find(L"..") == std::wstring_view::npos;
}

bool FitsUnderLimit(std::uint64_t limit, std::uint64_t current, std::uint64_t size) {
    return size < limit && current < limit - size;
}

LimitVerdict JudgeLimit(const SizeTotals& totals, std::uint64_t size) {
    if (totals.limit32 != 0) {
        return FitsUnderLimit(totals.limit32, totals.current32, size) ? LimitVerdict::kFits : LimitVerdict::kOverLimit;
    }
    if (totals.limit64 == 0) return LimitVerdict::kNoLimit;
    return FitsUnderLimit(totals.limit64, totals.current64, size) ? LimitVerdict::kFits : LimitVerdict::kOverLimit;
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::int32_t ParseLong(std::string_view text) {
    // A decimal long is the 64-bit reading stopped at the ends of the 32-bit range.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(ParseInt64(text), kMin, kMax));
}

std::uint64_t ParseUnsigned(std::string_view text) {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

std::vector<std::string_view> Tokens(std::string_view text, char separator) {
    std::vector<std::string_view> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) tokens.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

std::vector<ServerRecord> ParseServerRecords(std::string_view text) {
    std::vector<ServerRecord> records;
    for (std::string_view record : Tokens(text, ':')) {
        const auto fields = Tokens(record, '|');
        if (fields.size() < 3) continue;
        records.push_back({std::string(fields.front()), static_cast<std::uint32_t>(ParseLong(fields[1])),
                           std::string(fields.back())});
    }
    return records;
}

}  // namespace tovalo
