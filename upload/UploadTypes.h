// What goes into an upload session and what comes out of it, and what it runs on: the request,
// the outcome, the view it tells what it does, and the services it takes from the platform.
// Portable: the control and the dialog fill these in on Windows, the tests natively.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "upload/SendLimits.h"
#include "upload/UploadChannel.h"

namespace tovalo::upload {

// One local file of the queue, as the list had it.
struct UploadFile {
    std::wstring path;       // as listed: what is opened, and what the status line shows
    std::string storedBase;  // the file name in the server's code page, for its stored name
    std::string reportPath;  // the path in the system code page, for error reports
    std::uint64_t listedSize = 0;
};

struct UploadRequest {
    std::string host;
    std::uint32_t port = 0;  // 0: FTP's own port, 21
    std::string user;
    std::string password;    // in its code-group form, as the page gave it
    std::string remotePath;  // put in front of every stored name unchanged
    std::vector<UploadFile> files;
    std::int32_t retryCount = 10;
    bool secure = false;  // explicit FTPS through the project's own client
    std::string certPin;  // for the secure session: the certificate's SHA-256, or empty
    SendLimits limits;
    // A retry after a store that broke off part way goes on where the server's copy ends.
    bool resume = true;
};

// A stored file: its name on the server and the bytes stored.
struct StoredFile {
    std::string name;
    std::uint64_t size = 0;
};

// Why a session was stopped before it ended by itself.
enum class StopReason { kNone, kUser, kPageGone };

struct UploadOutcome {
    std::int32_t result = 0;     // 1 when every queued file was stored
    bool connectFailed = false;  // the session never logged on
    StopReason stopped = StopReason::kNone;
    std::vector<StoredFile> stored;  // in the order sent; empty unless every file was stored
};

// What the session tells whoever shows it, from the session's thread. Implementations hand it
// on to their own thread; none may wait on the network or on the session. The texts a user reads
// of retries and waits are the view's to make: the session says what happens.
class IUploadView {
public:
    virtual ~IUploadView() = default;
    virtual void Status(const std::wstring& text) = 0;
    virtual void FileStarted() = 0;              // the file bar starts over at 0
    virtual void FileProgress(int percent) = 0;  // 0 to 100, only ever rising within a file
    virtual void FileStored() = 0;               // the file bar is full and the total bar steps
    virtual void LogLine(const std::string& line) = 0;
    virtual void Rate(const std::wstring& text) = 0;  // the rate line under the bars
    // Retry number of of, after a failure the reason names (the server's words, in its code page).
    virtual void Retrying(std::int32_t number, std::int32_t of, const std::string& reason) = 0;
    // Retry number of of goes on from offset bytes that the server holds of the file.
    virtual void Resuming(std::int32_t number, std::int32_t of, std::uint64_t offset) = 0;
    // The session waits for an earlier one of the process to end (true), or no longer waits (false).
    virtual void WaitingForPrevious(bool waiting) = 0;
    // The outcome, once, unless a stop settled it first (then the stopper knows it already).
    virtual void Ended(const UploadOutcome& outcome) = 0;
};

// A local file open for reading; error numbers are the system's.
class ILocalFile {
public:
    virtual ~ILocalFile() = default;
    virtual bool Length(std::uint64_t& length, std::uint32_t& error) = 0;
    // The next read starts offset bytes into the file.
    virtual bool Seek(std::uint64_t offset, std::uint32_t& error) = 0;
    // read is 0 at the end of the file.
    virtual bool Read(char* buffer, std::size_t capacity, std::size_t& read, std::uint32_t& error) = 0;
};

class SessionGate;

// What a session takes from the platform. The tests give it a channel of their own and a clock
// that they drive.
class ISessionServices {
public:
    virtual ~ISessionServices() = default;
    // A channel for the request (plain or secure), or none when the system gives no resources for
    // one. One for cleaning up after a stop is the project's own client, plain or secure as the
    // request, and gives up any exchange that lasts longer than a couple of seconds.
    virtual std::unique_ptr<IUploadChannel> MakeChannel(const UploadRequest& request, bool forCleanup) = 0;
    virtual std::unique_ptr<ILocalFile> OpenLocalFile(const std::wstring& path, std::uint32_t& error) = 0;
    // A steady clock, and the wall clock's seconds since 1970 (low 32 bits) for stored names.
    virtual std::uint64_t NowMicros() = 0;
    virtual std::uint32_t WallSeconds32() = 0;
    // Waits ms milliseconds, or less when stopped() turns true (it is asked again whenever
    // wake() below is called).
    virtual void Wait(std::uint64_t ms, const std::function<bool()>& stopped) = 0;
    virtual void Wake() = 0;
    // Runs work on a thread of its own (the cleanup after a stop); false when none can start.
    virtual bool StartThread(std::function<void()> work) = 0;
    // Sends an error report to the report web server, without waiting and without telling the
    // user: the text is the server's response (or the session's own words), in its code page.
    virtual void Report(std::int32_t error, const std::string& text) = 0;
    // The gate that lets one session of the process at a time act on servers.
    virtual SessionGate& Gate() = 0;
};

}  // namespace tovalo::upload
