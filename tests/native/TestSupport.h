// Helpers shared by the FTP client tests: a recording observer and running table rows side by side.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "ftp/FtpClient.h"

namespace tovalo_test {

// A path in the temporary folder that no other test of this run, and no other test run beside it
// (a second checkout's, the sanitizer build's), uses: the process id and a count make it.
inline std::string UniqueTempPath(const std::string& name) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "tovalo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
}

// Writes text as a file's whole content (replacing what it held).
inline void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// One error report as the client gave it.
struct CReport {
    std::string message;
    std::string source;
    int line = 0;
};

// Records everything the client tells its observers.
class CRecordingObserver : public nsFTP::CFTPClient::CNotifaction {
public:
    void OnErrorReport(const std::string& message, const std::string& source, int line) override {
        reports.push_back({message, source, line});
    }
    void OnDataReceived(int count) override { received.push_back(count); }
    void OnDataSent(int count) override { sent.push_back(count); }
    void OnDownloadStart(const std::string& remote, const std::string& local, std::int64_t size) override {
        events.push_back("download-start " + remote + " " + local + " " + std::to_string(size));
    }
    void OnUploadStart(const std::string& local, const std::string& remote, std::int64_t size) override {
        events.push_back("upload-start " + local + " " + remote + " " + std::to_string(size));
    }
    void OnDownloadEnd(const std::string& remote, const std::string& local, std::int64_t size) override {
        events.push_back("download-end " + remote + " " + local + " " + std::to_string(size));
    }
    void OnUploadEnd(const std::string& local, const std::string& remote, std::int64_t size) override {
        events.push_back("upload-end " + local + " " + remote + " " + std::to_string(size));
    }
    void OnCommandSent(const std::string& command) override { commands.push_back(command); }
    void OnReplyLine(const std::string& line) override { replies.push_back(line); }

    // The report lines, e.g. {1251, 279}.
    std::vector<int> ReportLines() const {
        std::vector<int> lines;
        for (const CReport& report : reports) lines.push_back(report.line);
        return lines;
    }

    std::vector<CReport> reports;
    std::vector<int> received;
    std::vector<int> sent;
    std::vector<std::string> events;
    std::vector<std::string> commands;
    std::vector<std::string> replies;
};

// Runs fn on every row at the same time (each row has its own server and client), so that the
// client's pause after every reply is paid once per table instead of once per row.
template <class Row, class Fn>
auto RunConcurrently(const std::vector<Row>& rows, Fn fn) {
    using Result = decltype(fn(rows.front()));
    std::vector<std::future<Result>> futures;
    for (const Row& row : rows) futures.push_back(std::async(std::launch::async, [&fn, &row] { return fn(row); }));
    std::vector<Result> results;
    for (auto& future : futures) results.push_back(future.get());
    return results;
}

}  // namespace tovalo_test
