// UploadSession after a stop: what the session left on the server deleted, by the stop's cleanup
// at once and by the worker again as it ends, each as an act of the session's pass.
#include "upload/UploadSession.h"

#include "ftp/ReplyMeanings.h"
#include "upload/SessionGate.h"

#include <utility>

namespace tovalo::upload {
namespace {

// The number a report of a part left on the server states: Compatibility with the session's other
// findings about the server's replies, WinINet's "extended error".
constexpr std::int32_t kPartLeft = 12003;

}  // namespace

bool RemovePart(IUploadChannel& channel, const std::string& path) {
    const ChannelResult deleted = channel.Delete(path);
    if (deleted.Ok()) return true;
    if (deleted.replyCode != 550) return false;  // no answer, or a refusal that says nothing of the file
    const ChannelResult asked = channel.Ask("SIZE " + path);
    if (!asked.Ok()) return false;
    switch (nsFTP::ReadSizeReply(asked.response).kind) {
    case nsFTP::SizeReply::Kind::kSize:
    case nsFTP::SizeReply::Kind::kMalformed:
        return false;  // still there: a data connection may still write it
    case nsFTP::SizeReply::Kind::kNoSizeCommand:
        return true;  // nothing tells otherwise
    case nsFTP::SizeReply::Kind::kNoAnswer:
        return nsFTP::LastReplyCode(asked.response) == 550;  // no such file
    }
    return false;
}

std::vector<std::string> UploadSession::LeftOnServer() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return LeftOnServerLocked();
}

std::vector<std::string> UploadSession::LeftOnServerLocked() const {
    std::vector<std::string> left;
    const auto add = [&](const std::string& path) {
        if (!path.empty() && gone_.count(path) == 0) left.push_back(path);
    };
    if (store_) add(store_->remotePath);
    for (const std::string& path : strays_) add(path);
    return left;
}

void UploadSession::DeleteLeftovers() {
    if (const std::vector<std::string> left = LeftOnServer(); !left.empty()) {
        // The project's own client, whose time limits hold on every platform: the whole exchange
        // (connect, log-on, the deletes) gives up after a couple of seconds.
        const std::unique_ptr<IUploadChannel> channel = services_->MakeChannel(request_, true);
        // Deleting needs no data connection, so the mode does not matter.
        if (channel && channel->Connect(account_).Ok()) {
            for (const std::string& path : left) {
                if (!RemovePart(*channel, path)) continue;
                const std::lock_guard<std::mutex> lock(mutex_);
                // A store command still under way may make the file after this: not gone yet.
                if (!store_ || store_->remotePath != path || store_->fate != Store::Fate::kOpening) gone_.insert(path);
            }
            channel->Disconnect();
        }
    }
    // Stopped, with nothing left on the server: the session acts on no server again (every later
    // call of its channel fails at once), and the next upload need not wait for its worker to come
    // back from the call it may still hang in.
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopReason_ != StopReason::kNone && LeftOnServerLocked().empty()) pass_.reset();
}

void UploadSession::Teardown() {
    std::shared_ptr<IUploadChannel> channel;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        channel = std::exchange(channel_, nullptr);
    }
    if (channel) {
        // A stopped store ends as a broken-off transfer, never as a complete file.
        if (Stopped()) channel->AbortStore();
        channel->Disconnect();
    }
    file_.reset();
    std::shared_ptr<SessionPass> pass;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pass = std::exchange(pass_, nullptr);
    }
    if (Stopped()) LastAct(pass);
}

void UploadSession::LastAct(const std::shared_ptr<SessionPass>& pass) {
    if (LeftOnServer().empty()) return;
    // Its own connection is gone by now, and with it any data connection that kept a server from
    // deleting the part. A pass lost to the next session acts on nothing.
    if (pass) pass->Act([this] { DeleteLeftovers(); });
    for (const std::string& path : LeftOnServer()) {
        Report(SessionStep::RemovePart, kPartLeft, "part left on the server: " + path);
    }
}

}  // namespace tovalo::upload
