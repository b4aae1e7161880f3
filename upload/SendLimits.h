// The list's size rules as they hold when a file is opened to be sent. A file is judged when it
// is listed, but it may grow before the upload (or while an earlier file is sent): what is sent,
// not what was listed, must keep to the rules. Portable.
#pragma once

#include <cstdint>

namespace tovalo::upload {

// Which rule a file breaks as it is found when opened, if any.
enum class SendRule { kFits, kOverFileMaximum, kOverPageLimit };

class SendLimits {
public:
    // maxFile: the largest file taken; limit: the page's limit on the whole list, and
    // listedTotal: the list's total as it counts against that limit (the server entries
    // included). No limit at all (the default) judges only the largest file.
    SendLimits() = default;
    SendLimits(std::uint64_t maxFile, std::uint64_t limit, std::uint64_t listedTotal)
        : maxFile_(maxFile), limit_(limit), total_(listedTotal), limited_(true) {}

    // A file listed at listed bytes and found at found bytes when opened: the list with its new
    // size may reach the limit but not pass it (as the start of the upload judges the list), so a
    // file that has not changed always fits.
    SendRule Judge(std::uint64_t listed, std::uint64_t found) const;
    // The file was sent at stored bytes: the later files are judged with its new size.
    void Sent(std::uint64_t listed, std::uint64_t stored);

private:
    std::uint64_t maxFile_ = UINT64_MAX;
    std::uint64_t limit_ = 0;
    std::uint64_t total_ = 0;
    bool limited_ = false;
};

}  // namespace tovalo::upload
