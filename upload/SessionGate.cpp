// SessionGate: the process's one pass to act on FTP servers (see SessionGate.h).
#include "upload/SessionGate.h"

namespace tovalo::upload {

bool SessionPass::Act(const std::function<void()>& act) {
    const std::lock_guard<std::mutex> serial(serial_);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (revoked_) return false;
        acting_ = true;
    }
    struct Done {
        SessionPass& pass;
        ~Done() {
            const std::lock_guard<std::mutex> lock(pass.mutex_);
            pass.acting_ = false;
        }
    } done{*this};
    act();
    return true;
}

void SessionPass::MarkSettled() {
    const std::lock_guard<std::mutex> lock(mutex_);
    settled_ = true;
}

bool SessionPass::Revoked() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return revoked_;
}

bool SessionPass::Revoke() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!settled_) return false;
    revoked_ = true;
    return !acting_;
}

std::shared_ptr<SessionPass> SessionGate::TryEnter(bool revoke) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const std::shared_ptr<SessionPass> holder = holder_.lock()) {
        if (!revoke || !holder->Revoke()) return nullptr;
    }
    auto pass = std::make_shared<SessionPass>();
    holder_ = pass;
    return pass;
}

SessionGate& SessionGate::Process() {
    static SessionGate gate;
    return gate;
}

}  // namespace tovalo::upload
