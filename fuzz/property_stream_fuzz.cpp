// libFuzzer target: arbitrary bytes as a control's persisted-property stream, read as records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/PropertyRecords.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool SameRecords(const std::vector<fw::records::Record>& a, const std::vector<fw::records::Record>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].number != b[i].number || a[i].text != b[i].text) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw::records;
    std::vector<Record> records;
    MemorySource source({data, size});
    if (ReadRecords(source, records) != ReadError::None) {
        Require(records.empty());
        return 0;
    }
    Require(records.size() <= kMaxRecords);
    for (const Record& r : records) {
        Require(r.type == kNumber || r.type == kText);
        Require(r.text.size() <= kMaxTextChars && (r.type == kText || r.text.empty()));
    }
    // A stream that reads is written back byte for byte (the bytes after it are not its own)...
    const std::vector<std::uint8_t> written = WriteRecords(records);
    Require(written.size() <= size && std::memcmp(written.data(), data, written.size()) == 0);
    // ...and reads back as the same records.
    std::vector<Record> again;
    MemorySource copy(written);
    Require(ReadRecords(copy, again) == ReadError::None && SameRecords(records, again));
    return 0;
}
