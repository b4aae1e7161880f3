// The cancel signal on Windows: a manual-reset event, set once raised and never reset.
#include "ftp/CancelSignal.h"

#include <windows.h>

#include <system_error>

namespace nsSocket {

CCancelSignal::CCancelSignal() : m_waitable(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_waitable)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "cancel signal");
}

CCancelSignal::~CCancelSignal() { ::CloseHandle(m_waitable); }

void CCancelSignal::Raise() noexcept {
    if (!m_raised.exchange(true, std::memory_order_acq_rel)) ::SetEvent(m_waitable);
}

}  // namespace nsSocket
