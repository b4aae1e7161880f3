// Listing parser benchmark tool: writes a vsftpd-like UNIX listing, or times parsing one into entry records or a
// callback.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "ftp/DirListingParser.h"
#include "ftp/DirListingStream.h"
#include "ftp/FtpClient.h"
#include "ftp/ListingLines.h"

namespace {

// Small deterministic generator, so every run times the same listing.
class CRandom {
public:
    std::uint64_t Next() {
        m_state += 0x9E3779B97F4A7C15u;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    template <class T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[Below(N)];
    }

private:
    std::uint64_t m_state = 20240615;
};

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 6> kUsers = {"ftp", "root", "www-data", "1000", "backup", "nobody"};
constexpr std::array<std::string_view, 10> kStems = {"report",  "IMG_2041",
                                                     "archive", "setup",
                                                     "notes",   "2023-annual-summary",
                                                     "index",   "backup of disk",
                                                     "README",  "data_export_final_v2"};
constexpr std::array<std::string_view, 8> kExtensions = {".txt", ".jpg",  ".tar.gz", ".pdf",
                                                         ".iso", ".html", "",        ".csv"};

// One line as vsftpd prints it: "%s %4u %-8s %-8s %8llu %s %s", the date as "Mon dd HH:MM" for recent
// files and "Mon dd  yyyy" for older ones.
std::string MakeLine(CRandom& random, std::size_t index) {
    const std::size_t kind = random.Below(20);
    const bool directory = kind < 3;
    const bool link = kind == 3;
    const char* perms = directory ? "drwxr-xr-x" : link ? "lrwxrwxrwx" : (kind % 2 ? "-rw-r--r--" : "-rw-------");
    std::uint64_t size = directory ? 4096
                         : link    ? 11
                                   : random.Next() % (random.Below(10) == 0 ? 12'000'000'000u : 5'000'000u);
    const std::string_view user = random.Pick(kUsers);
    char head[160];
    const bool recent = random.Below(2) == 0;
    char when[16];
    if (recent)
        std::snprintf(when, sizeof when, "%02zu:%02zu", random.Below(24), random.Below(60));
    else
        std::snprintf(when, sizeof when, " %zu", 1995 + random.Below(30));
    std::snprintf(head, sizeof head, "%s %4zu %-8.*s %-8.*s %8llu %.*s %2zu %s ", perms,
                  1 + random.Below(directory ? 30 : 2), static_cast<int>(user.size()), user.data(),
                  static_cast<int>(user.size()), user.data(), static_cast<unsigned long long>(size), 3,
                  random.Pick(kMonths).data(), 1 + random.Below(28), when);
    std::string line = head;
    line += random.Pick(kStems);
    line += '_';
    line += std::to_string(index);
    if (!directory) line += random.Pick(kExtensions);
    if (link) line += " -> ../shared/target";
    return line;
}

int Generate(std::size_t count, const char* path) {
    std::ofstream out(path, std::ios::binary);
    CRandom random;
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += MakeLine(random, i);
        text += '\n';
    }
    out << text;
    return out ? 0 : 1;
}

// Parses every line and keeps each entry understood as the client's listing does: a record of its
// own on the heap, in the list the client hands its callers (as basic-ftp keeps one object per
// entry in an array). Returns the number of entries understood.
std::size_t ParseIntoList(std::string_view text, nsFTP::CFTPClient::TFileStatusVector& entries) {
    nsFTP::CDirListingParser parser;
    nsFTP::CFTPFileStatus status;
    nsFTP::CListingLineSplitter lines([&](std::string_view line) {
        if (parser.ParseLine(status, line))
            entries.push_back(nsSP::MakeRCIPtr<nsFTP::CFTPFileStatus>(std::move(status)));
    });
    lines.Take(text.data(), text.size());
    lines.Finish();
    return entries.size();
}

// Hands every entry to a callback that only counts it: what a caller that prints entries as they
// come (tovalo-ftp ls) pays for the parse.
std::size_t ParseThroughCallback(std::string_view text) {
    nsFTP::CDirListingParser parser;
    std::size_t count = 0;
    nsFTP::ParseListing(parser, text,
                        [&count](std::string_view, const nsFTP::CFTPFileStatus* entry) { count += entry != nullptr; });
    return count;
}

// Lets the process keep the memory it frees for its next allocations, as a garbage-collected runtime
// keeps its heap between runs. glibc otherwise hands the top of the heap back to the system as soon
// as more than 128 KiB of it is free (and serves large blocks from fresh mappings), so every run of
// a list-building benchmark would start on pages that the kernel has to fault in and zero again.
// False where the C library has no such setting.
bool KeepFreedMemory() {
#if defined(__GLIBC__)
    constexpr int kMostBytes = 1 << 30;
    constexpr int kLargestHeapBlock = 32 << 20;  // glibc's ceiling for this threshold on 64-bit systems
    return mallopt(M_TRIM_THRESHOLD, kMostBytes) == 1 && mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1;
#else
    return false;
#endif
}

// Best time of several runs. Every run builds its result afresh, as the peer's parseList does: the
// list starts empty and unreserved, and is freed after the clock stops.
int Time(const char* path, int runs, bool intoList) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return 1;
    double best = 1e300;
    std::size_t understood = 0;
    for (int run = 0; run < runs; ++run) {
        nsFTP::CFTPClient::TFileStatusVector entries;
        const auto start = std::chrono::steady_clock::now();
        understood = intoList ? ParseIntoList(text, entries) : ParseThroughCallback(text);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::printf("%.3f %zu\n", best, understood);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "generate") return Generate(std::stoul(std::string(args[1])), argv[3]);
    if (args.size() == 3 && args[0] == "time-kept" && !KeepFreedMemory()) {
        std::cerr << "tovalo_parser_bench: this C library cannot be told to keep freed memory\n";
        return 1;
    }
    if (args.size() == 3 && (args[0] == "time" || args[0] == "time-kept" || args[0] == "stream"))
        return Time(argv[2], std::stoi(std::string(args[2])), args[0] != "stream");
    std::cerr << "usage: tovalo_parser_bench generate COUNT FILE | time FILE RUNS | time-kept FILE RUNS |\n"
                 "                           stream FILE RUNS\n"
                 "  time: entries into a fresh list each run, as the client keeps them; time-kept: the same,\n"
                 "  with the C library keeping freed memory between runs; stream: entries to a counting\n"
                 "  callback;\n"
                 "  each prints the best parse time in milliseconds and the number of entries understood\n";
    return 2;
}
