// Cutting listing bytes into lines across receives, and the bounded listing sink of a data transfer.
#include "ftp/ListingLines.h"

#include <cstring>
#include <exception>

namespace nsFTP {
namespace {

// Raised by the sink's own count, so that it is told apart from whatever the caller's handler raises.
struct CListingBoundReached {};

}  // namespace

void CListingLineSplitter::Hand(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_onLine(line);
}

bool CListingLineSplitter::Take(const char* bytes, std::size_t count) {
    if (m_bOverlong) return false;
    std::string_view rest(bytes, count);
    while (!rest.empty()) {
        const std::size_t lineFeed = rest.find('\n');
        if (lineFeed == std::string_view::npos) {
            if (m_strPartial.size() + rest.size() > m_nMaxLine) {
                m_bOverlong = true;
                m_strPartial.clear();
                return false;
            }
            m_strPartial.append(rest);
            return true;
        }
        const std::string_view piece = rest.substr(0, lineFeed);
        rest.remove_prefix(lineFeed + 1);
        // The same bound whichever way the line was split, so that the outcome never depends on TCP.
        if (m_strPartial.size() + piece.size() > m_nMaxLine) {
            m_bOverlong = true;
            m_strPartial.clear();
            return false;
        }
        if (m_strPartial.empty()) {
            Hand(piece);
        } else {
            m_strPartial.append(piece);
            std::string line;
            line.swap(m_strPartial);
            Hand(line);
        }
    }
    return true;
}

void CListingLineSplitter::Finish() {
    if (m_bOverlong || m_strPartial.empty()) return;
    std::string line;
    line.swap(m_strPartial);
    Hand(line);
}

CListingSink::CListingSink(CListingLineSplitter::TLineHandler onLine, std::size_t limit, std::size_t lineCost)
    : m_splitter([this, onLine = std::move(onLine)](std::string_view line) {
          m_nHeld += line.size() + m_nLineCost;
          if (m_nLimit != 0 && m_nHeld > m_nLimit) throw CListingBoundReached();
          onLine(line);
      }),
      m_nLimit(limit),
      m_nLineCost(lineCost) {}

bool CListingSink::Guard(const std::function<bool()>& step) {
    if (!m_strFailure.empty()) return false;
    try {
        if (step()) return true;
        m_strFailure = "a listing line longer than " + std::to_string(kMaxListingLine >> 20) + " MiB";
    } catch (const CListingBoundReached&) {
        m_strFailure = "a listing larger than " + std::to_string(m_nLimit >> 20) + " MiB";
    } catch (const std::exception& exception) {
        m_strFailure = std::string("the listing's line handler failed: ") + exception.what();
    } catch (...) {
        m_strFailure = "the listing's line handler failed";
    }
    return false;
}

bool CListingSink::Write(const char* data, std::size_t count) {
    return Guard([&] { return m_splitter.Take(data, count); });
}

bool CListingSink::Finish() {
    return Guard([&] {
        m_splitter.Finish();
        return true;
    });
}

}  // namespace nsFTP
