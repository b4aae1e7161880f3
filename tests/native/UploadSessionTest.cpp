// The upload session against a server and a clock of the test's own: late and refused stores,
// short ones, a 425, retries and their waits, and stops while a write blocks.
#include "upload/LogFilter.h"
#include "upload/RateMeter.h"
#include "upload/SessionGate.h"
#include "upload/UploadSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace tovalo::upload {
namespace {

ChannelResult Ok(std::string response = {}) {
    ChannelResult result;
    result.response = std::move(response);
    return result;
}

ChannelResult Broken(std::int32_t error, std::string response = {}, int code = 0) {
    ChannelResult result;
    result.outcome = code >= 500 ? ChannelOutcome::kRefused : ChannelOutcome::kTransient;
    result.error = error;
    result.replyCode = code;
    result.response = std::move(response);
    return result;
}

// A server as the session's channels see it, shared by all of them, with failures to order.
struct FakeServer {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::uint64_t> files;
    std::string modes;                              // 'A' or 'P' per log-on
    int refuseConnects = 0;                         // connections that fail before this many succeed
    std::deque<ChannelResult> openFailures;         // the next stores' openings fail so
    std::uint64_t dropAfter = 0;                    // a store's connection breaks once past this many bytes
    bool refuseRest = false;                        // REST is refused (502)
    bool ignoreRest = false;                        // REST is taken (350), and the store still starts at 0
    std::map<std::string, std::uint64_t> received;  // what reached each file, across its stores
    std::deque<std::string> finishReplies;          // the next stores' final replies (else 226)
    bool keepHalf = false;                          // the next store keeps half of what it takes
    std::deque<std::string> lateSizes;              // answers to SIZE once a final reply came late
    bool late = false;
    bool blockWrites = false;     // writes hang until cancelled
    bool blockOpens = false;      // store commands hang (the file appears as they return)
    std::string blockOnly;        // if set, only writes of files whose path holds it hang
    bool cancelEndsWrite = true;  // whether a cancel can end a hung write
    bool writeBlocked = false;
    bool releaseWrites = false;  // ends hung writes (the old connection coming free)
    int deletesByCleanup = 0;
    // How DELE goes: as asked; refused (550) while a data connection writes the file; done, with
    // its reply lost the first time; refused for good.
    enum class Dele { kDeletes, kBusyWhileWritten, kReplyLostOnce, kRefused } dele = Dele::kDeletes;
    std::string writing;  // the file a data connection writes now
};

class FakeChannel final : public IUploadChannel {
public:
    FakeChannel(FakeServer& server, bool cleanup) : server_(server), cleanup_(cleanup) {}

    ChannelResult Connect(const ConnectRequest& request) override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        if (cancelled_) return Stopped();
        if (server_.refuseConnects > 0) {
            --server_.refuseConnects;
            return Broken(12029);
        }
        server_.modes += request.passive ? 'P' : 'A';
        return Ok("230 Logged on.");
    }
    ChannelResult OpenStore(const std::string& path, std::uint64_t offset) override {
        std::unique_lock<std::mutex> lock(server_.mutex);
        if (cancelled_) return Stopped();
        if (server_.blockOpens && path.find(server_.blockOnly) != std::string::npos) {
            server_.writeBlocked = true;
            server_.changed.notify_all();
            server_.changed.wait(lock, [&] { return server_.releaseWrites; });
            server_.files[path] = 0;
            return Stopped();
        }
        if (!server_.openFailures.empty()) {
            ChannelResult failure = server_.openFailures.front();
            server_.openFailures.pop_front();
            return failure;
        }
        if (offset > 0 && server_.refuseRest) {
            ChannelResult refused = Broken(12003, "502 REST not implemented.", 502);
            refused.restartRefused = true;
            return refused;
        }
        path_ = path;
        server_.writing = path;
        std::uint64_t& held = server_.files[path];
        held = offset > 0 && !server_.ignoreRest ? std::min(held, offset) : 0;
        return Ok("150 Ok to send data.");
    }
    ChannelResult Write(const char*, std::size_t count) override {
        std::unique_lock<std::mutex> lock(server_.mutex);
        if (server_.blockWrites && path_.find(server_.blockOnly) != std::string::npos) {
            server_.writeBlocked = true;
            server_.changed.notify_all();
            server_.changed.wait(lock,
                                 [&] { return (cancelled_ && server_.cancelEndsWrite) || server_.releaseWrites; });
            server_.writing.clear();
            return Stopped();
        }
        if (cancelled_) return Stopped();
        std::uint64_t& held = server_.files[path_];
        if (server_.dropAfter != 0 && held + count > server_.dropAfter) {
            server_.received[path_] += server_.dropAfter - held;
            held = server_.dropAfter;
            server_.dropAfter = 0;
            return Broken(10054);
        }
        held += count;
        server_.received[path_] += count;
        return Ok();
    }
    ChannelResult FinishStore() override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        if (cancelled_) return Stopped();
        if (server_.keepHalf) {
            server_.files[path_] /= 2;
            server_.keepHalf = false;
        }
        std::string reply = "226 Transfer complete.";
        if (!server_.finishReplies.empty()) {
            reply = server_.finishReplies.front();
            server_.finishReplies.pop_front();
        }
        server_.late = reply.rfind("1", 0) == 0;
        server_.writing.clear();
        return Ok(reply);
    }
    void AbortStore() override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        if (server_.writing == path_) server_.writing.clear();
    }
    ChannelResult Ask(const std::string& command) override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        if (cancelled_) return Stopped();
        if (command.rfind("SIZE ", 0) != 0) return Ok("200 NOOP ok.");
        if (server_.late && !server_.lateSizes.empty()) {
            const std::string answer = server_.lateSizes.front();
            server_.lateSizes.pop_front();
            return Ok(answer);
        }
        const auto found = server_.files.find(command.substr(5));
        return found == server_.files.end() ? Ok("550 No such file.") : Ok("213 " + std::to_string(found->second));
    }
    ChannelResult Site(const std::string&) override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        return cancelled_ ? Stopped() : Ok("200 SITE CHMOD ok.");
    }
    ChannelResult Delete(const std::string& path) override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        if (cancelled_) return Stopped();
        using Dele = FakeServer::Dele;
        if (server_.dele == Dele::kRefused || (server_.dele == Dele::kBusyWhileWritten && server_.writing == path))
            return Broken(12003, "550 The process cannot access the file.", 550);
        if (server_.files.erase(path) == 0) return Broken(12003, "550 No such file.", 550);
        if (server_.dele == Dele::kReplyLostOnce) {
            server_.dele = Dele::kDeletes;
            ChannelResult lost = Broken(12002);
            lost.timedOut = true;
            return lost;
        }
        if (cleanup_) ++server_.deletesByCleanup;
        server_.changed.notify_all();
        return Ok("250 Deleted.");
    }
    void Disconnect() override {}
    void Cancel() override {
        std::lock_guard<std::mutex> lock(server_.mutex);
        cancelled_ = true;
        server_.changed.notify_all();
    }
    void SetLog(LogSink) override {}

private:
    static ChannelResult Stopped() {
        ChannelResult result;
        result.outcome = ChannelOutcome::kStopped;
        return result;
    }
    FakeServer& server_;
    const bool cleanup_;
    bool cancelled_ = false;
    std::string path_;
};

class FakeFile final : public ILocalFile {
public:
    explicit FakeFile(std::uint64_t size) : left_(size), size_(size) {}
    bool Length(std::uint64_t& length, std::uint32_t&) override {
        length = size_;
        return true;
    }
    bool Seek(std::uint64_t offset, std::uint32_t&) override {
        left_ = size_ - std::min(size_, offset);
        return true;
    }
    bool Read(char* buffer, std::size_t capacity, std::size_t& read, std::uint32_t&) override {
        read = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, left_));
        std::fill(buffer, buffer + read, 'x');
        left_ -= read;
        return true;
    }

private:
    std::uint64_t left_;
    std::uint64_t size_;
};

// What the session says, in order: its statuses and the reports it sends.
class Said {
public:
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        said_ += (said_.empty() ? "" : "\n") + line;
    }
    std::string Text() {
        std::lock_guard<std::mutex> lock(mutex_);
        return said_;
    }

private:
    std::mutex mutex_;
    std::string said_;
};

// A clock that moves only when the session waits (and a little with every call it times).
class FakeServices final : public ISessionServices {
public:
    FakeServices(FakeServer& server, Said& said, SessionGate& gate) : server_(server), said_(said), gate_(gate) {}
    // The cleanups' threads; the session's last reference may go with one of them, so they
    // are joined by the test, never by this object's destructor.
    void Join() {
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }
    std::unique_ptr<IUploadChannel> MakeChannel(const UploadRequest&, bool cleanup) override {
        return std::make_unique<FakeChannel>(server_, cleanup);
    }
    std::unique_ptr<ILocalFile> OpenLocalFile(const std::wstring& path, std::uint32_t& error) override {
        const auto found = localFiles.find(path);
        if (found == localFiles.end()) {
            error = 2;
            return nullptr;
        }
        return std::make_unique<FakeFile>(found->second);
    }
    std::uint64_t NowMicros() override { return now_ += 1000; }
    std::uint32_t WallSeconds32() override { return 1000; }
    void Wait(std::uint64_t ms, const std::function<bool()>& stopped) override {
        if (stopped()) return;
        waits.push_back(ms);
        now_ += ms * 1000;
        if (realTime) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void Wake() override {}
    bool StartThread(std::function<void()> work) override {
        threads_.emplace_back(std::move(work));
        return true;
    }
    void Report(std::int32_t error, const std::string& text) override {
        said_.Add("REPORT " + std::to_string(error) + " " + text);
    }
    SessionGate& Gate() override { return gate_; }

    std::map<std::wstring, std::uint64_t> localFiles;
    std::vector<std::uint64_t> waits;
    bool realTime = false;  // waits take their time (a session that waits for another's end)

private:
    FakeServer& server_;
    Said& said_;
    SessionGate& gate_;
    std::uint64_t now_ = 0;
    std::vector<std::thread> threads_;
};

// UTF-8 of a text of the Basic Multilingual Plane (all the session's texts are).
std::string Utf8(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text) {
        const auto code = static_cast<unsigned>(c);
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | (code >> 6));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (code >> 12));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

class FakeView final : public IUploadView {
public:
    explicit FakeView(Said& said) : said_(said) {}
    void Status(const std::wstring& text) override { said_.Add(Utf8(text)); }
    void FileStarted() override {}
    void FileProgress(int) override {}
    void FileStored() override {}
    void LogLine(const std::string&) override {}
    void Rate(const std::wstring&) override {}
    void Retrying(std::int32_t number, std::int32_t of, const std::string& reason) override {
        said_.Add(Utf8(L"재시도 ") + std::to_string(number) + "/" + std::to_string(of) + Utf8(L" … ") + reason);
    }
    void Resuming(std::int32_t number, std::int32_t of, std::uint64_t offset) override {
        said_.Add(Utf8(L"재시도 ") + std::to_string(number) + "/" + std::to_string(of) + Utf8(L" … ") +
                  Utf8(ByteText(static_cast<double>(offset))) + Utf8(L"부터 이어서"));
    }
    void WaitingForPrevious(bool waiting) override { said_.Add(waiting ? "WAITING" : "WAITED"); }
    void Ended(const UploadOutcome& outcome) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ended.push_back(outcome);
    }
    std::vector<UploadOutcome> ended;

private:
    Said& said_;
    std::mutex mutex_;
};

// A session of two files, a.txt (10 bytes) then b.bin (5000), on the server as arranged.
struct Session {
    FakeServer ownServer;
    SessionGate ownGate;
    FakeServer& server;
    Said said;
    std::shared_ptr<FakeServices> services;
    std::shared_ptr<FakeView> view = std::make_shared<FakeView>(said);
    std::shared_ptr<UploadSession> session;

    // On a server and a gate of its own, or on another session's (two uploads of one process).
    explicit Session(bool resume = true, Session* beside = nullptr)
        : server(beside ? beside->server : ownServer),
          services(std::make_shared<FakeServices>(server, said, beside ? beside->Gate() : ownGate)) {
        UploadRequest request;
        request.resume = resume;
        request.host = "127.0.0.1";
        request.user = "user";
        request.remotePath = "/";
        request.retryCount = 10;
        for (const auto& [name, size] : {std::pair{"a.txt", 10}, std::pair{"b.bin", 5000}}) {
            const std::wstring path = L"C:\\" + std::wstring(name, name + std::char_traits<char>::length(name));
            request.files.push_back({path, name, std::string("C:\\") + name, static_cast<std::uint64_t>(size)});
            services->localFiles[path] = static_cast<std::uint64_t>(size);
        }
        session = std::make_shared<UploadSession>(std::move(request), services, view);
    }
    ~Session() { services->Join(); }
    SessionGate& Gate() { return services->Gate(); }
    // Runs the session on a thread of its own until b.bin's first write (or its store command)
    // hangs, and stops it there: a call that no stop can cut short (WinINet's, under Wine).
    std::thread StopInAHungWrite(bool inTheStoreCommand = false, StopReason reason = StopReason::kUser) {
        (inTheStoreCommand ? server.blockOpens : server.blockWrites) = true;
        server.blockOnly = "b.bin";
        server.cancelEndsWrite = false;
        std::thread worker([this] { session->Run(); });
        std::unique_lock<std::mutex> lock(server.mutex);
        EXPECT_TRUE(server.changed.wait_for(lock, std::chrono::seconds(10), [&] { return server.writeBlocked; }));
        lock.unlock();
        EXPECT_TRUE(session->Stop(reason));
        return worker;
    }
    // The hung write comes back at last, and the stopped session ends.
    void Release(std::thread& worker) {
        {
            std::lock_guard<std::mutex> lock(server.mutex);
            server.blockWrites = false;
            server.blockOpens = false;
            server.releaseWrites = true;
            server.changed.notify_all();
        }
        worker.join();
        services->Join();
    }
    std::string Files() {
        std::lock_guard<std::mutex> lock(server.mutex);
        std::string text;
        for (const auto& [path, size] : server.files)
            text += (text.empty() ? "" : " ") + path + "=" + std::to_string(size);
        return text;
    }
};

// The stored files as Files() shows the server's: sorted by name.
std::string Stored(const UploadOutcome& outcome) {
    std::map<std::string, std::uint64_t> sorted;
    for (const StoredFile& file : outcome.stored) sorted["/" + file.name] = file.size;
    std::string text;
    for (const auto& [path, size] : sorted) text += (text.empty() ? "" : " ") + path + "=" + std::to_string(size);
    return text;
}

TEST(UploadSession, ExchangesAsTheServerAnswers) {
    const struct {
        const char* label;
        std::function<void(FakeServer&)> arrange;
        bool resume;
        std::int32_t result;
        const char* files;  // on the server afterwards
        const char* modes;  // the log-ons, active or passive
        std::vector<std::uint64_t> waits;
        const char* said;  // statuses and reports, in order
    } cases[] = {
        {"both stored",
         [](FakeServer&) {},
         true,
         1,
         "/1000(a.txt)=10 /1000(b.bin)=5000",
         "A",
         {},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin"},
        {"a final reply that comes late: the file is watched, then confirmed on a fresh connection",
         [](FakeServer& s) {
             s.finishReplies = {"150 Ok to send data."};
             s.lateSizes = {"213 4", "213 10"};
         },
         true,
         1,
         "/1000(a.txt)=10 /1000(b.bin)=5000",
         "AA",
         {1000, 1000},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin"},
        {"a store kept short: refused, and the retry goes on from what the server kept",
         [](FakeServer& s) { s.keepHalf = true; },
         true,
         1,
         "/1000(a.txt)=10 /1000(b.bin)=5000",
         "AA",
         {1000},
         "[0/2] a.txt C:\\a.txt\nREPORT 12003 213 5 (10 bytes sent)\n재시도 1/10 … 213 5 (10 bytes sent)\n"
         "재시도 1/10 … 5 B부터 이어서\n[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin"},
        {"a store refused for good: no retry, the later file not tried",
         [](FakeServer& s) { s.finishReplies = {"552 Quota exceeded."}; },
         true,
         0,
         "/1000(a.txt)=10",
         "A",
         {},
         "[0/2] a.txt C:\\a.txt\nREPORT 12003 552 Quota exceeded."},
        {"425 in active mode: the retry goes passive",
         [](FakeServer& s) { s.openFailures = {Broken(12003, "425 Can't open data connection.", 425)}; },
         true,
         1,
         "/1000(b.bin)=5000 /1001(a.txt)=10",
         "AP",
         {1000},
         "REPORT 0 425 Can't open data connection.\n재시도 1/10 … 425 Can't open data connection.\n"
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin"},
        {"a data connection lost part way: the retry goes on where the server's copy ends",
         [](FakeServer& s) { s.dropAfter = 3000; },
         true,
         1,
         "/1000(a.txt)=10 /1000(b.bin)=5000",
         "AA",
         {1000},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin\nREPORT 0 \n재시도 1/10 … connection lost (error 10054)\n"
         "재시도 1/10 … 2.9 KB부터 이어서\n[1/2] b.bin C:\\b.bin"},
        {"the same without resuming: the part deleted, the file sent whole under a new name",
         [](FakeServer& s) { s.dropAfter = 3000; },
         false,
         1,
         "/1000(a.txt)=10 /1001(b.bin)=5000",
         "AA",
         {1000},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin\nREPORT 0 \n재시도 1/10 … connection lost (error 10054)\n"
         "[1/2] b.bin C:\\b.bin"},
        {"REST refused: the part deleted, the file sent whole under a new name",
         [](FakeServer& s) {
             s.dropAfter = 3000;
             s.refuseRest = true;
         },
         true,
         1,
         "/1000(a.txt)=10 /1001(b.bin)=5000",
         "AA",
         {1000},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin\nREPORT 0 \n재시도 1/10 … connection lost (error 10054)\n"
         "재시도 1/10 … 2.9 KB부터 이어서\n[1/2] b.bin C:\\b.bin"},
        {"REST taken but ignored: the size tells, and the file goes whole once more, not resumed again",
         [](FakeServer& s) {
             s.dropAfter = 3000;
             s.ignoreRest = true;
         },
         true,
         1,
         "/1000(a.txt)=10 /1001(b.bin)=5000",
         "AAA",
         {1000, 2000},
         "[0/2] a.txt C:\\a.txt\n[1/2] b.bin C:\\b.bin\nREPORT 0 \n재시도 1/10 … connection lost (error 10054)\n"
         "재시도 1/10 … 2.9 KB부터 이어서\n[1/2] b.bin C:\\b.bin\nREPORT 12003 213 2000 (5000 bytes sent)\n"
         "재시도 2/10 … 213 2000 (5000 bytes sent)\n[1/2] b.bin C:\\b.bin"},
        {"a server that is not there: two retries before any log-on, after 1 and 2 s",
         [](FakeServer& s) { s.refuseConnects = 9; },
         true,
         0,
         "",
         "",
         {1000, 2000},
         "REPORT 0 \n재시도 1/2 … connection failed (error 12029)\n재시도 2/2 … connection failed (error 12029)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Session run(c.resume);
        c.arrange(run.server);
        run.session->Run();
        ASSERT_EQ(run.view->ended.size(), 1u);
        const UploadOutcome& outcome = run.view->ended.front();
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(Stored(outcome), c.result == 1 ? c.files : "");
        EXPECT_EQ(run.Files(), c.files);
        EXPECT_EQ(run.server.modes, c.modes);
        EXPECT_EQ(run.services->waits, c.waits);
        EXPECT_EQ(run.said.Text(), c.said);
        // A resumed file costs no more than itself and what one block of it may take again.
        if (c.resume && std::string(c.label).find("part way") != std::string::npos) {
            EXPECT_EQ(run.server.received["/1000(b.bin)"], 5000u);
        }
    }
}

// "S", or the page going away, while a write hangs on a server that stopped reading: the outcome
// is settled at once, and the part is deleted on a fresh connection while the old one still
// hangs, also where the platform cannot cut the hung write short.
TEST(UploadSession, AStopWhileAWriteHangsDeletesThePartAtOnce) {
    for (const bool cancelEndsWrite : {true, false}) {
        for (const StopReason reason : {StopReason::kUser, StopReason::kPageGone}) {
            SCOPED_TRACE(std::string(cancelEndsWrite ? "cancellable" : "stuck") +
                         (reason == StopReason::kUser ? ", user" : ", page gone"));
            Session run;
            run.server.blockWrites = true;
            run.server.cancelEndsWrite = cancelEndsWrite;
            std::thread worker([&] { run.session->Run(); });
            {
                std::unique_lock<std::mutex> lock(run.server.mutex);
                ASSERT_TRUE(run.server.changed.wait_for(lock, std::chrono::seconds(10),
                                                        [&] { return run.server.writeBlocked; }));
            }
            ASSERT_TRUE(run.session->Stop(reason));
            EXPECT_FALSE(run.session->Stop(StopReason::kUser));  // once settled, it stays
            ASSERT_TRUE(run.session->Outcome().has_value());
            EXPECT_EQ(run.session->Outcome()->result, 0);
            EXPECT_EQ(run.session->Outcome()->stopped, reason);
            {
                std::unique_lock<std::mutex> lock(run.server.mutex);
                EXPECT_TRUE(run.server.changed.wait_for(lock, std::chrono::seconds(10),
                                                        [&] { return run.server.files.empty(); }));
                run.server.releaseWrites = true;  // the hung connection comes free at last
                run.server.changed.notify_all();
            }
            worker.join();
            run.services->Join();
            EXPECT_EQ(run.Files(), "");
            EXPECT_EQ(run.server.deletesByCleanup, 1);
            EXPECT_TRUE(run.view->ended.empty());  // the stopper knew the outcome first
        }
    }
}

// The gate lets one session of the process act on servers at a time: the next one waits, and may
// take the pass only from a holder whose outcome is settled, and then only between its acts.
TEST(SessionGate, OneHolderAtATime) {
    const auto said = [](const std::shared_ptr<SessionPass>& pass) { return pass ? "taken" : "refused"; };
    const struct {
        const char* label;
        std::function<std::string(SessionGate&)> run;
        const char* expected;
    } cases[] = {
        {"a second session waits until the first lets go",
         [&](SessionGate& gate) {
             auto first = gate.TryEnter(false);
             std::string trace = std::string(said(first)) + " " + said(gate.TryEnter(false));
             first.reset();
             return trace + " " + said(gate.TryEnter(false));
         },
         "taken refused taken"},
        {"a holder whose outcome is not settled keeps the pass, even past the grace",
         [&](SessionGate& gate) {
             auto first = gate.TryEnter(false);
             const std::string next = said(gate.TryEnter(true));
             return next + (first->Act([] {}) ? " first acts" : " first may not act");
         },
         "refused first acts"},
        {"a settled holder loses the pass past the grace, and acts on nothing after",
         [&](SessionGate& gate) {
             auto first = gate.TryEnter(false);
             first->MarkSettled();
             auto next = gate.TryEnter(true);
             std::string trace = std::string(said(next)) + (first->Act([] {}) ? " first acts" : " first may not act");
             first.reset();  // the old holder's end frees nothing that is not its own
             return trace + " " + said(gate.TryEnter(false));
         },
         "taken first may not act refused"},
        {"an act in progress is not cut: the pass goes once it ends",
         [&](SessionGate& gate) {
             auto first = gate.TryEnter(false);
             first->MarkSettled();
             std::string during;
             first->Act([&] { during = said(gate.TryEnter(true)); });
             return during + " " + said(gate.TryEnter(true)) + (first->Act([] {}) ? " first acts" : "");
         },
         "refused taken"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SessionGate gate;
        EXPECT_EQ(c.run(gate), c.expected);
    }
}

// A part a stopped session left counts as deleted only once the server no longer has it: the stop's
// cleanup tries at once, the worker again once its own data connection has ended, and what even
// that cannot delete is reported. The pass stays with the session while anything is left.
TEST(UploadSession, AStoppedPartGoesOnlyOnceTheServerNoLongerHasIt) {
    using Dele = FakeServer::Dele;
    const struct {
        const char* label;
        Dele dele;
        bool inTheStoreCommand;  // the hung call: else a write
        bool passFreeBeforeTheCallReturns;
        const char* files;   // on the server once it has all ended
        const char* report;  // what the stopped session reported
    } cases[] = {
        {"deleted at once", Dele::kDeletes, false, true, "/1000(a.txt)=10", ""},
        {"refused while written: deleted once the write returns", Dele::kBusyWhileWritten, false, false,
         "/1000(a.txt)=10", ""},
        {"done but its reply lost: found gone by the last act", Dele::kReplyLostOnce, false, false, "/1000(a.txt)=10",
         ""},
        {"refused for good: reported", Dele::kRefused, false, false, "/1000(a.txt)=10 /1000(b.bin)=0",
         "REPORT 12003 part left on the server: /1000(b.bin)"},
        {"not there yet while its store command hangs: deleted once that returns", Dele::kDeletes, true, false,
         "/1000(a.txt)=10", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Session run;
        run.server.dele = c.dele;
        // a.txt is stored whole; b.bin's first write (or its store command) hangs.
        std::thread worker = run.StopInAHungWrite(c.inTheStoreCommand);
        run.services->Join();  // the stop's cleanup has done what it could
        EXPECT_EQ(run.Gate().TryEnter(false) != nullptr, c.passFreeBeforeTheCallReturns);
        run.Release(worker);
        EXPECT_NE(run.Gate().TryEnter(false), nullptr);
        EXPECT_EQ(run.Files(), c.files);
        const std::string said = run.said.Text();
        EXPECT_EQ(said.substr(std::min(said.size(), said.find("REPORT"))), c.report);
    }
}

// The user stops an upload whose write hangs and sends again at once: the second upload waits for
// the first to end, so the first's last delete can never meet a file the second stored under the
// same name (both take their names in the same second here), and every file of the second stays.
TEST(UploadSession, TheNextUploadWaitsForTheStoppedOneAndKeepsItsFiles) {
    Session first;
    first.server.dele = FakeServer::Dele::kReplyLostOnce;  // the cleanup cannot tell: the last act must
    std::thread firstWorker = first.StopInAHungWrite();
    first.services->Join();
    Session second(true, &first);
    second.services->realTime = true;
    std::thread secondWorker([&] { second.session->Run(); });
    // The second waits (its status line says so) while the first's write hangs.
    for (int i = 0; i < 200 && second.said.Text().find("WAITING") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(second.said.Text(), "WAITING");
    first.Release(firstWorker);
    secondWorker.join();
    second.services->Join();
    ASSERT_EQ(second.view->ended.size(), 1u);
    EXPECT_EQ(second.view->ended.front().result, 1);
    // The second stored b.bin under the very name the first's last act deleted, and it stays.
    EXPECT_EQ(Stored(second.view->ended.front()), "/1000(b.bin)=5000 /1001(a.txt)=10");
    EXPECT_EQ(first.Files(), "/1000(a.txt)=10 /1000(b.bin)=5000 /1001(a.txt)=10");
}

// The transfer log shows the exchange, never the account's log-on.
TEST(TransferLog, CommandsAndRepliesThatCarryTheAccountStayOut) {
    const struct {
        bool command;
        const char* line;
        bool hidden;
    } cases[] = {
        {true, "USER anna", true},
        {true, "user anna", true},
        {true, "PASS secret", true},
        {true, "pAsS x", true},
        {true, "STOR x", false},
        {true, "USE", false},
        {true, "SITE chmod 777 /a", false},
        {false, "331 Password required", true},
        {false, "230 Logged on", true},
        {false, "226 Transfer complete", false},
        {false, "33", false},
        {false, "530 Login incorrect.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.command ? IsHiddenCommand(c.line) : IsHiddenReply(c.line), c.hidden);
    }
}

}  // namespace
}  // namespace tovalo::upload
