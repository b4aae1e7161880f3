// UploadSession after a stop: the call under way cut short, and what the session left on the
// server deleted, by the stop's cleanup at once and by the worker again as it ends.
#include "upload/UploadSession.h"

namespace tovalo::upload {

std::vector<std::string> UploadSession::LeftOnServer() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> left;
    const auto add = [&](const std::string& path) {
        if (!path.empty() && deleted_.count(path) == 0) left.push_back(path);
    };
    if (store_) add(store_->remotePath);
    if (pending_) add(pending_->remotePath);
    if (resume_) add(resume_->remotePath);
    add(partialPath_);
    return left;
}

void UploadSession::CleanUpAfterStop(const std::shared_ptr<IUploadChannel>& busy) {
    if (busy) busy->Cancel();
    DeleteLeftovers();
}

void UploadSession::DeleteLeftovers() {
    const std::vector<std::string> left = LeftOnServer();
    if (left.empty()) return;
    // A connection of its own: the session's may still hang on a data connection the platform
    // cannot cut short, and the server deletes a file that one of its connections still writes.
    const std::unique_ptr<IUploadChannel> channel = services_->MakeChannel(request_, true);
    if (!channel) return;
    // Deleting needs no data connection, so the mode does not matter.
    if (!channel->Connect(account_).Ok()) return;
    for (const std::string& path : left) {
        const ChannelResult deleted = channel->Delete(path);
        // 550: not there (any more), which is what was wanted.
        if (deleted.Ok() || deleted.replyCode == 550) {
            const std::lock_guard<std::mutex> lock(mutex_);
            deleted_.insert(path);
        }
    }
    channel->Disconnect();
}

void UploadSession::Teardown() {
    std::shared_ptr<IUploadChannel> channel;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        channel = channel_;
    }
    if (channel) {
        // A stopped store ends as a broken-off transfer, never as a complete file.
        if (Stopped()) channel->AbortStore();
        channel->Disconnect();
        const std::lock_guard<std::mutex> lock(mutex_);
        channel_.reset();
    }
    file_.reset();
    if (Stopped()) DeleteLeftovers();
}

}  // namespace tovalo::upload
