// The password's code groups: the table, the page's encoding and the control's decoding.
#include "upload/Password.h"

#include <array>

namespace tovalo::upload {
namespace {

constexpr int kCodes = 95;  // ' ' (0x20) to '~' (0x7E)
constexpr size_t kGroup = 3;

using Table = std::array<std::array<char, kGroup>, kCodes>;

// 7 and 11 are prime to 26, so the two letters repeat only every 26 indices and together with the
// digit every 130: no two of the 95 groups are equal.
constexpr Table MakeTable() {
    Table table{};
    for (int i = 0; i < kCodes; ++i) {
        table[i] = {static_cast<char>('A' + 7 * i % 26), static_cast<char>('a' + 11 * i % 26),
                    static_cast<char>('0' + i % 10)};
    }
    return table;
}

constexpr Table kTable = MakeTable();

}  // namespace

std::string CodeGroup(int index) {
    if (index < 0 || index >= kCodes) return {};
    return std::string(kTable[index].data(), kGroup);
}

std::string EncodePassword(std::string_view plain) {
    std::string groups;
    for (const char c : plain) {
        const int index = static_cast<unsigned char>(c) - 0x20;
        groups += CodeGroup(index);
    }
    const size_t k = groups.size() / kGroup;
    return groups.substr(k) + groups.substr(0, k);
}

std::string DecodePassword(std::string_view text) {
    const size_t n = text.size();
    if (n % kGroup != 0) return std::string(text);
    // The text is the groups rotated by k: its last k characters are the groups' first k.
    const size_t k = n / kGroup;
    std::string work;
    work.reserve(n);
    work.append(text.substr(n - k));
    work.append(text.substr(0, n - k));

    std::string plain;
    for (size_t at = 0; at < n; at += kGroup) {
        for (int i = 0; i < kCodes; ++i) {
            if (work.compare(at, kGroup, kTable[i].data(), kGroup) == 0) {
                plain += static_cast<char>(0x20 + i);
                break;
            }
        }
    }
    return plain;
}

}  // namespace tovalo::upload
