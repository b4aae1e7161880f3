// The DBWIN_BUFFER listener (see DebugOutput.h).
#include "tools/pagehost/DebugOutput.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace pagehost {
namespace {

constexpr DWORD kBufferSize = 4096;
constexpr DWORD kStopPollMs = 100;
// How long a read waits for a text written just before it to be taken in.
constexpr DWORD kSettleMs = 2000;

struct SharedBuffer {
    DWORD processId;
    char text[kBufferSize - sizeof(DWORD)];
};

class Listener {
public:
    Listener() = default;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener() { stop(); }

    bool start() {
        if (m_thread) {
            return true;
        }
        m_bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        m_dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, L"DBWIN_BUFFER");
        m_view = m_mapping ? MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, kBufferSize) : nullptr;
        m_stop = false;
        m_thread = m_bufferReady && m_dataReady && m_view ? CreateThread(nullptr, 0, run, this, 0, nullptr) : nullptr;
        if (!m_thread) {
            stop();
        }
        return m_thread != nullptr;
    }

    void stop() {
        if (m_thread) {
            m_stop = true;
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
            m_thread = nullptr;
        }
        if (m_view) {
            UnmapViewOfFile(m_view);
            m_view = nullptr;
        }
        for (HANDLE* handle : {&m_mapping, &m_dataReady, &m_bufferReady}) {
            if (*handle) {
                CloseHandle(*handle);
                *handle = nullptr;
            }
        }
    }

    std::wstring take() {
        // A writer does not wait for the listener to copy its text: wait until the listener is
        // ready for the next one (it has taken the last), then give the readiness back.
        if (m_bufferReady && WaitForSingleObject(m_bufferReady, kSettleMs) == WAIT_OBJECT_0) {
            SetEvent(m_bufferReady);
        }
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::string text;
        text.swap(m_text);
        const int size = static_cast<int>(text.size());
        std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
        return wide;
    }

private:
    static DWORD WINAPI run(void* self) {
        static_cast<Listener*>(self)->listen();
        return 0;
    }

    void listen() {
        const auto* shared = static_cast<const SharedBuffer*>(m_view);
        SetEvent(m_bufferReady);
        while (!m_stop) {
            if (WaitForSingleObject(m_dataReady, kStopPollMs) != WAIT_OBJECT_0) {
                continue;
            }
            if (shared->processId == GetCurrentProcessId()) {
                const std::string text(shared->text, strnlen(shared->text, sizeof shared->text));
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_text += text;
                if (m_text.empty() || m_text.back() != '\n') {
                    m_text += '\n';
                }
            }
            SetEvent(m_bufferReady);
        }
    }

    HANDLE m_bufferReady = nullptr;
    HANDLE m_dataReady = nullptr;
    HANDLE m_mapping = nullptr;
    void* m_view = nullptr;
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_text;
};

Listener& listener() {
    static Listener instance;
    return instance;
}

}  // namespace

std::wstring takeDebugOutput() {
    if (!listener().start()) {
        return L"(debug output cannot be caught)";
    }
    return listener().take();
}

void stopDebugOutput() { listener().stop(); }

}  // namespace pagehost
