// SendReport: the error report's exchange with the report web server (see ReportSender.h).
#include "upload/ReportSender.h"

#include "ftp/BlockingSocket.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace tovalo::upload {
namespace {

// A lookup's result, shared with the lookup's thread, which may end after the waiter gave up.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<nsSocket::CSocketAddress> address;
};

std::optional<nsSocket::CSocketAddress> LookUp(const std::string& host, std::uint16_t port,
                                               const ThreadStarter& startThread, unsigned seconds) {
    auto lookup = std::make_shared<Lookup>();
    const bool started = startThread([lookup, host, port] {
        std::optional<nsSocket::CSocketAddress> address;
        try {
            address = nsSocket::CBlockingSocket::GetHostByName(host, port);
        } catch (const nsSocket::CBlockingSocketException&) {
        }
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->address = address;
        lookup->finished = true;
        lookup->done.notify_all();
    });
    if (!started) return std::nullopt;
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, std::chrono::seconds(seconds), [&] { return lookup->finished; }))
        return std::nullopt;
    return lookup->address;
}

}  // namespace

bool SendReport(const std::string& request, const std::string& host, std::uint16_t port,
                const ThreadStarter& startThread, const ReportBounds& bounds) {
    const nsSocket::CSocketLibrary library;
    if (!library.IsStarted()) return false;
    const std::optional<nsSocket::CSocketAddress> address = LookUp(host, port, startThread, bounds.lookupSeconds);
    if (!address) return false;
    nsSocket::CBlockingSocket socket;
    try {
        socket.Create();
        socket.Connect(*address, bounds.connectSeconds);
        socket.SendAll(request.data(), request.size(), bounds.sendSeconds);
    } catch (const nsSocket::CBlockingSocketException&) {
        return false;
    }
    try {
        char first = 0;
        socket.Receive(&first, 1, bounds.answerSeconds);
    } catch (const nsSocket::CBlockingSocketException&) {
        // No answer in time, or a reset: the request is out all the same.
    }
    return true;
}

}  // namespace tovalo::upload
