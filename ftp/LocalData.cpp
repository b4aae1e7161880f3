// Local files for transfers: stdio or file streams, 64-bit positions.
#include "ftp/LocalData.h"

#include <algorithm>
#include <cstring>

namespace nsFTP {
namespace {

#ifdef _WIN32
int Seek64(std::FILE* file, std::int64_t offset, int origin) { return _fseeki64(file, offset, origin); }
std::int64_t Tell64(std::FILE* file) { return _ftelli64(file); }
#else
int Seek64(std::FILE* file, std::int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin);
}
std::int64_t Tell64(std::FILE* file) { return static_cast<std::int64_t>(ftello(file)); }
#endif

// Closes the file if the transfer never did.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

class CStdioFile final : public CLocalFile {
public:
    explicit CStdioFile(std::FILE* file) noexcept : m_file(file) {}

    std::size_t Read(char* buffer, std::size_t size) override { return std::fread(buffer, 1, size, m_file.get()); }
    bool Write(const char* data, std::size_t count) override {
        return std::fwrite(data, 1, count, m_file.get()) == count;
    }
    bool ReadFailed() const override { return std::ferror(m_file.get()) != 0; }
    std::int64_t SeekToEnd() override { return Seek64(m_file.get(), 0, SEEK_END) == 0 ? Tell64(m_file.get()) : -1; }
    bool SeekTo(std::int64_t position) override { return Seek64(m_file.get(), position, SEEK_SET) == 0; }
    bool Close() override {
        if (!m_file) return true;
        return std::fclose(m_file.release()) == 0;
    }

private:
    std::unique_ptr<std::FILE, FileCloser> m_file;
};

class CStreamFile final : public CLocalFile {
public:
    explicit CStreamFile(std::fstream&& stream) : m_stream(std::move(stream)) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        m_stream.read(buffer, static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(m_stream.gcount());
    }
    bool Write(const char* data, std::size_t count) override {
        return static_cast<bool>(m_stream.write(data, static_cast<std::streamsize>(count)));
    }
    bool ReadFailed() const override { return m_stream.bad(); }
    std::int64_t SeekToEnd() override {
        m_stream.clear();
        if (!m_stream.seekg(0, std::ios::end)) return -1;
        return static_cast<std::int64_t>(m_stream.tellg());
    }
    bool SeekTo(std::int64_t position) override {
        m_stream.clear();
        return static_cast<bool>(m_stream.seekg(static_cast<std::streamoff>(position), std::ios::beg));
    }
    bool Close() override {
        if (!m_stream.is_open()) return true;
        m_stream.close();
        return !m_stream.fail();
    }

private:
    std::fstream m_stream;
};

const char* StdioMode(CLocalFile::EMode mode) noexcept {
    switch (mode) {
    case CLocalFile::EMode::Read:
        return "rb";
    case CLocalFile::EMode::Append:
        return "ab";
    case CLocalFile::EMode::Truncate:
        return "wb";
    }
    return "rb";
}

std::ios::openmode StreamMode(CLocalFile::EMode mode) noexcept {
    switch (mode) {
    case CLocalFile::EMode::Read:
        return std::ios::in | std::ios::binary | std::ios::ate;
    case CLocalFile::EMode::Append:
        return std::ios::out | std::ios::app | std::ios::ate | std::ios::binary;
    case CLocalFile::EMode::Truncate:
        return std::ios::out | std::ios::trunc | std::ios::binary;
    }
    return std::ios::in | std::ios::binary;
}

}  // namespace

std::unique_ptr<CLocalFile> CLocalFile::Open(const std::string& path, EMode mode, bool useStdio) {
    if (useStdio) {
        std::FILE* file = std::fopen(path.c_str(), StdioMode(mode));
        if (!file) return nullptr;
        return std::make_unique<CStdioFile>(file);
    }
    std::fstream stream(path, StreamMode(mode));
    if (!stream.is_open()) return nullptr;
    return std::make_unique<CStreamFile>(std::move(stream));
}

}  // namespace nsFTP
