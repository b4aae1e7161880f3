// The local side of a data transfer and the local files it reads or writes (buffered stdio or a file stream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace nsFTP {

// Where the bytes of a data connection come from or go to. One call per block, no allocation.
class CLocalData {
public:
    virtual ~CLocalData() = default;
    // Up to size bytes; 0 at the end or on failure (ReadFailed tells them apart).
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // False when not every byte could be written.
    virtual bool Write(const char* data, std::size_t count) = 0;
    virtual bool ReadFailed() const = 0;
    // Why the last Write failed when no system error says it; empty otherwise.
    virtual std::string WriteFailure() const { return {}; }

protected:
    CLocalData() = default;
    CLocalData(const CLocalData&) = default;
    CLocalData& operator=(const CLocalData&) = default;
};

// A local file opened for one transfer, with 64-bit positions.
class CLocalFile : public CLocalData {
public:
    enum class EMode {
        Read,      // binary reading
        Append,    // binary writing after what is there
        Truncate,  // binary writing into an emptied file
    };

    // Null when the file cannot be opened (the system's error is left for LastSystemError).
    static std::unique_ptr<CLocalFile> Open(const std::string& path, EMode mode, bool useStdio);

    // Moves to the end and returns that position (the file's length), -1 on failure.
    virtual std::int64_t SeekToEnd() = 0;
    virtual bool SeekTo(std::int64_t position) = 0;
    // Flushes and closes; false when buffered bytes could not be written.
    virtual bool Close() = 0;
};

}  // namespace nsFTP
