// A listing's bytes cut into lines as they arrive, and the listing's end of a data transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ftp/LocalData.h"

namespace nsFTP {

// The longest listing line held while its end is awaited: a server that never ends a line must not
// make the client grow without end.
inline constexpr std::size_t kMaxListingLine = std::size_t{1} << 20;

// Cuts bytes into lines: LF or CR LF ends a line (the line end is not part of it), and a last line
// without either still counts once Finish is called. Lines of the size of one block are handed on
// without being copied.
class CListingLineSplitter {
public:
    using TLineHandler = std::function<void(std::string_view line)>;

    explicit CListingLineSplitter(TLineHandler onLine, std::size_t maxLine = kMaxListingLine)
        : m_onLine(std::move(onLine)), m_nMaxLine(maxLine) {}

    // Hands every line that bytes complete to the handler; false (and nothing more is taken) once a
    // line grows beyond maxLine. The handler's exceptions pass through.
    bool Take(const char* bytes, std::size_t count);
    // Hands on the last line when the text did not end with a line end.
    void Finish();

private:
    void Hand(std::string_view line);

    TLineHandler m_onLine;
    std::size_t m_nMaxLine;
    std::string m_strPartial;
    bool m_bOverlong = false;
};

// The local side of a listing transfer: lines to a handler, with an optional bound on what a caller
// keeps (the text plus lineCost per line). A handler that throws fails the write, never the client.
class CListingSink final : public CLocalData {
public:
    CListingSink(CListingLineSplitter::TLineHandler onLine, std::size_t limit, std::size_t lineCost);

    std::size_t Read(char*, std::size_t) override { return 0; }
    bool Write(const char* data, std::size_t count) override;
    bool ReadFailed() const override { return false; }
    std::string WriteFailure() const override { return m_strFailure; }
    // Hands on a last line without line end; false when that fails.
    bool Finish();

private:
    bool Guard(const std::function<bool()>& step);

    CListingLineSplitter m_splitter;
    std::size_t m_nLimit;
    std::size_t m_nLineCost;
    std::size_t m_nHeld = 0;
    std::string m_strFailure;
};

}  // namespace nsFTP
