// The cancel signal on POSIX: a pipe whose read end becomes readable, for good, once raised.
#include "ftp/CancelSignal.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace nsSocket {
namespace {

bool SetFlags(int fd) noexcept {
    const int status = ::fcntl(fd, F_GETFL);
    const int descriptor = ::fcntl(fd, F_GETFD);
    return status >= 0 && descriptor >= 0 && ::fcntl(fd, F_SETFL, status | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, descriptor | FD_CLOEXEC) == 0;
}

}  // namespace

CCancelSignal::CCancelSignal() {
    int ends[2];
    if (::pipe(ends) != 0) throw std::system_error(errno, std::generic_category(), "cancel signal");
    // Non-blocking: a second Raise into a full pipe must not block (the first byte is enough).
    if (!SetFlags(ends[0]) || !SetFlags(ends[1])) {
        const int error = errno;
        ::close(ends[0]);
        ::close(ends[1]);
        throw std::system_error(error, std::generic_category(), "cancel signal");
    }
    m_waitable = ends[0];
    m_writeEnd = ends[1];
}

CCancelSignal::~CCancelSignal() {
    ::close(m_waitable);
    ::close(m_writeEnd);
}

void CCancelSignal::Raise() noexcept {
    // The flag first: whoever wakes on the pipe must find it set. Both steps are async-signal-safe.
    if (m_raised.exchange(true, std::memory_order_acq_rel)) return;
    const int saved = errno;  // a signal handler must leave errno as it found it
    const char byte = 1;
    while (::write(m_writeEnd, &byte, 1) < 0 && errno == EINTR) {
    }
    errno = saved;
}

}  // namespace nsSocket
