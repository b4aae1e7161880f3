// CPackedTexts: a fixed number of short texts kept back to back in one block, inside the object while they fit.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace nsFTP {

// A listing holds one record per entry, and each record has several texts that are nearly always
// short: kept as separate strings they cost an allocation each, and a record several times the size
// of its texts. Here they share one buffer, inside the object up to kInline bytes in all and on the
// heap beyond, so that a typical record is a single block of memory. Setting the texts in slot order
// (what a parser does) only appends.
template <std::size_t kCount, std::size_t kInline>
class CPackedTexts {
public:
    CPackedTexts() noexcept = default;

    CPackedTexts(const CPackedTexts& other) : m_ends(other.m_ends) {
        const std::size_t used = other.Used();
        if (used > kInline) {
            m_pHeap = std::make_unique<char[]>(used);
            m_nCapacity = static_cast<std::uint32_t>(used);
        }
        std::memcpy(Data(), other.Data(), used);
    }

    // Takes over the other's heap block, if any; the other is left empty.
    CPackedTexts(CPackedTexts&& other) noexcept { TakeOver(other); }

    CPackedTexts& operator=(const CPackedTexts& other) {
        if (this != &other) *this = CPackedTexts(other);
        return *this;
    }

    CPackedTexts& operator=(CPackedTexts&& other) noexcept {
        if (this != &other) TakeOver(other);
        return *this;
    }

    ~CPackedTexts() = default;

    std::string_view Get(std::size_t slot) const noexcept {
        const std::uint32_t begin = Begin(slot);
        return {Data() + begin, m_ends[slot] - begin};
    }

    // Every text empty; a heap block is kept for the next texts.
    void Clear() noexcept { m_ends = {}; }

    void Set(std::size_t slot, std::string_view text) {
        const std::size_t used = Used();
        const std::uint32_t begin = Begin(slot);
        // The common case: this text and every later one are empty, so the new one goes at the end.
        if (begin == used && text.size() <= m_nCapacity - used && !Overlaps(text)) {
            CopyText(Data() + begin, text);
            const auto end = static_cast<std::uint32_t>(begin + text.size());
            for (std::size_t i = slot; i < kCount; ++i) m_ends[i] = end;
            return;
        }
        Replace(slot, text);
    }

    bool operator==(const CPackedTexts& other) const noexcept {
        return m_ends == other.m_ends && std::memcmp(Data(), other.Data(), Used()) == 0;
    }

private:
    // Bytes in use (all texts); never more than the capacity, which fits 32 bits.
    std::size_t Used() const noexcept { return m_ends[kCount - 1]; }
    std::uint32_t Begin(std::size_t slot) const noexcept { return slot == 0 ? 0 : m_ends[slot - 1]; }
    char* Data() noexcept { return m_pHeap ? m_pHeap.get() : m_inline; }
    const char* Data() const noexcept { return m_pHeap ? m_pHeap.get() : m_inline; }

    // The other's texts become this one's, and the other is left empty. A text in the inline buffer
    // is copied with the whole buffer, whatever part of it is in use: a copy of fixed size is a few
    // vector moves, where one of the used size is a library call.
    void TakeOver(CPackedTexts& other) noexcept {
        m_ends = std::exchange(other.m_ends, {});
        m_nCapacity = std::exchange(other.m_nCapacity, static_cast<std::uint32_t>(kInline));
        m_pHeap = std::move(other.m_pHeap);
        if (!m_pHeap) std::memcpy(m_inline, other.m_inline, kInline);
    }

    // Copies a text; the short ones that listing columns nearly always are without a library call,
    // as two loads and two stores that may overlap.
    static void CopyText(char* to, std::string_view text) noexcept {
        const char* from = text.data();
        const std::size_t n = text.size();
        if (n > 16 && n <= 32) {
            CopyBlock<16>(to, from);
            CopyBlock<16>(to + n - 16, from + n - 16);
        } else if (n >= 8 && n <= 16) {
            CopyBlock<8>(to, from);
            CopyBlock<8>(to + n - 8, from + n - 8);
        } else if (n >= 4 && n < 8) {
            CopyBlock<4>(to, from);
            CopyBlock<4>(to + n - 4, from + n - 4);
        } else if (n > 0 && n < 4) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        } else if (n > 32)
            std::memcpy(to, from, n);
    }

    template <std::size_t kBytes>
    static void CopyBlock(char* to, const char* from) noexcept {
        char block[kBytes];
        std::memcpy(block, from, kBytes);
        std::memcpy(to, block, kBytes);
    }

    bool Overlaps(std::string_view text) const noexcept {
        const auto at = reinterpret_cast<std::uintptr_t>(text.data());
        const auto start = reinterpret_cast<std::uintptr_t>(Data());
        return at >= start && at < start + m_nCapacity;
    }

    // Any other change: the slot's old text is swapped for the new one and the later texts move.
    // Builds the result in a new block when the texts outgrow the present one or the new text is
    // one of them, so a failed allocation leaves everything as it was.
    void Replace(std::size_t slot, std::string_view text) {
        const std::size_t used = Used();
        const std::uint32_t begin = Begin(slot);
        const std::uint32_t oldEnd = m_ends[slot];
        const std::size_t tail = used - oldEnd;
        // In 64 bits, so that the sum cannot wrap where size_t has 32.
        const std::uint64_t newTotal = std::uint64_t{used} - (oldEnd - begin) + std::uint64_t{text.size()};
        if (newTotal > kMaxTotal) throw std::length_error("listing entry texts too long");
        const auto newUsed = static_cast<std::size_t>(newTotal);
        const auto newEnd = static_cast<std::uint32_t>(begin + text.size());
        if (newUsed > m_nCapacity || Overlaps(text)) {
            const std::uint64_t capacity = std::max<std::uint64_t>({newUsed, kInline, std::uint64_t{2} * m_nCapacity});
            const auto bounded = static_cast<std::size_t>(std::min(capacity, kMaxTotal));
            auto block = std::make_unique<char[]>(bounded);
            std::memcpy(block.get(), Data(), begin);
            std::memcpy(block.get() + begin, text.data(), text.size());
            std::memcpy(block.get() + newEnd, Data() + oldEnd, tail);
            m_pHeap = std::move(block);
            m_nCapacity = static_cast<std::uint32_t>(bounded);
        } else {
            char* const data = Data();
            std::memmove(data + newEnd, data + oldEnd, tail);
            std::memcpy(data + begin, text.data(), text.size());
        }
        const auto shift = static_cast<std::uint32_t>(newEnd - oldEnd);  // wraps for a shorter text, as intended
        for (std::size_t i = slot + 1; i < kCount; ++i) m_ends[i] += shift;
        m_ends[slot] = newEnd;
    }

    static constexpr std::uint64_t kMaxTotal = std::numeric_limits<std::uint32_t>::max();

    std::array<std::uint32_t, kCount> m_ends{};  // where each text ends; a text starts where the one before ends
    std::uint32_t m_nCapacity = kInline;
    std::unique_ptr<char[]> m_pHeap;  // the texts, when they outgrew m_inline
    char m_inline[kInline] = {};      // all of it defined, as moves copy all of it
};

}  // namespace nsFTP
