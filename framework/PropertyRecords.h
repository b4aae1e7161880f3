// The stream form of persisted properties as bytes: name-tagged records read from a byte source
// and written to a buffer, with no Windows call (the stream store feeds it from an IStream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fw::records {

// Layout: "TVLP" magic, u32 record count, then per record: u16 name length, UTF-16 name, u16
// type (kNumber or kText), then an i32, or a u32 length and UTF-16 text. Little-endian.
constexpr std::uint16_t kNumber = 3;  // the automation type code of a 32-bit integer
constexpr std::uint16_t kText = 8;    // the automation type code of a string
constexpr std::uint32_t kMaxRecords = 1024;
constexpr std::uint32_t kMaxTextChars = 1u << 22;  // 4 Mi characters: far above any real value

struct Record {
    std::u16string name;
    std::uint16_t type = kNumber;
    std::int32_t number = 0;
    std::u16string text;
};

// Where the reader takes its bytes from.
class ByteSource {
public:
    // Fills buffer with exactly size bytes; false when the source ends first or fails.
    virtual bool ReadExact(void* buffer, std::size_t size) = 0;

protected:
    ~ByteSource() = default;
};

// A source over bytes in memory.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool ReadExact(void* buffer, std::size_t size) override;

private:
    std::span<const std::uint8_t> bytes_;
};

enum class ReadError {
    None,
    Source,      // the bytes end early (or the source failed)
    Magic,       // not a record stream
    Count,       // more records than any control has
    Type,        // a record of a type whose length is unknown
    TextLength,  // a text longer than the cap
};

// Reads every record of a stream; records is empty unless the whole stream was read.
ReadError ReadRecords(ByteSource& source, std::vector<Record>& records);

// The bytes ReadRecords reads back as records. Records whose type is not kNumber are written as
// texts; names are cut at 65535 characters.
std::vector<std::uint8_t> WriteRecords(std::span<const Record> records);

}  // namespace fw::records
