// Reading and writing the records of the persisted-property stream.
#include "framework/PropertyRecords.h"

#include <algorithm>
#include <cstring>

namespace fw::records {
namespace {

constexpr char kMagic[4] = {'T', 'V', 'L', 'P'};

// Numbers are stored little-endian whatever the machine (the fuzzer runs on Linux).
template <class N>
bool ReadNumber(ByteSource& source, N& n) {
    std::uint8_t bytes[sizeof(N)];
    if (!source.ReadExact(bytes, sizeof bytes)) return false;
    std::uint64_t value = 0;
    for (std::size_t i = sizeof(N); i-- > 0;) value = value << 8 | bytes[i];
    n = static_cast<N>(value);
    return true;
}

bool ReadUtf16(ByteSource& source, std::uint32_t chars, std::u16string& out) {
    // Read in slices so that a length that the stream does not back costs no large allocation.
    constexpr std::uint32_t kSlice = 4096;
    out.clear();
    std::uint8_t bytes[2 * kSlice];
    while (chars > 0) {
        const std::uint32_t n = std::min(chars, kSlice);
        if (!source.ReadExact(bytes, 2 * std::size_t{n})) return false;
        for (std::uint32_t i = 0; i < n; ++i) {
            out.push_back(static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
        }
        chars -= n;
    }
    return true;
}

ReadError ReadRecord(ByteSource& source, Record& r) {
    std::uint16_t nameChars = 0;
    if (!ReadNumber(source, nameChars) || !ReadUtf16(source, nameChars, r.name) || !ReadNumber(source, r.type)) {
        return ReadError::Source;
    }
    if (r.type == kNumber) return ReadNumber(source, r.number) ? ReadError::None : ReadError::Source;
    if (r.type != kText) return ReadError::Type;  // no way to know the record's length
    std::uint32_t textChars = 0;
    if (!ReadNumber(source, textChars)) return ReadError::Source;
    if (textChars > kMaxTextChars) return ReadError::TextLength;
    return ReadUtf16(source, textChars, r.text) ? ReadError::None : ReadError::Source;
}

template <class N>
void Append(std::vector<std::uint8_t>& out, N n) {
    auto value = static_cast<std::uint64_t>(n);
    for (std::size_t i = 0; i < sizeof(N); ++i, value >>= 8) out.push_back(static_cast<std::uint8_t>(value));
}

void AppendUtf16(std::vector<std::uint8_t>& out, const std::u16string& text, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) Append(out, static_cast<std::uint16_t>(text[i]));
}

}  // namespace

bool MemorySource::ReadExact(void* buffer, std::size_t size) {
    if (size > bytes_.size()) return false;
    if (size) std::memcpy(buffer, bytes_.data(), size);
    bytes_ = bytes_.subspan(size);
    return true;
}

ReadError ReadRecords(ByteSource& source, std::vector<Record>& records) {
    records.clear();
    char magic[4];
    std::uint32_t count = 0;
    ReadError error = ReadError::None;
    if (!source.ReadExact(magic, sizeof magic)) {
        error = ReadError::Source;
    } else if (std::memcmp(magic, kMagic, sizeof magic) != 0) {
        error = ReadError::Magic;
    } else if (!ReadNumber(source, count)) {
        error = ReadError::Source;
    } else if (count > kMaxRecords) {
        error = ReadError::Count;
    }
    for (std::uint32_t i = 0; error == ReadError::None && i < count; ++i) {
        Record r;
        error = ReadRecord(source, r);
        if (error == ReadError::None) records.push_back(std::move(r));
    }
    if (error != ReadError::None) records.clear();
    return error;
}

std::vector<std::uint8_t> WriteRecords(std::span<const Record> records) {
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    Append(out, static_cast<std::uint32_t>(records.size()));
    for (const Record& r : records) {
        const std::size_t nameChars = std::min<std::size_t>(r.name.size(), 0xFFFF);
        Append(out, static_cast<std::uint16_t>(nameChars));
        AppendUtf16(out, r.name, nameChars);
        if (r.type == kNumber) {
            Append(out, kNumber);
            Append(out, r.number);
        } else {
            Append(out, kText);
            Append(out, static_cast<std::uint32_t>(r.text.size()));
            AppendUtf16(out, r.text, r.text.size());
        }
    }
    return out;
}

}  // namespace fw::records
