// SessionGate: at most one upload session of the process acts on FTP servers at a time.
//
// A stopped session goes on in the background until the call it is in returns (a WinINet write
// on a stalled server cannot be cut short everywhere) and then deletes what it left by name. Had
// the next upload started beside it, that late delete could meet a file the next upload stored
// under the same name and reported stored, and a server that takes one connection per address
// would refuse the next upload while the old connection lingers. So a session takes the process's
// pass before it connects and keeps it until its last act on the server; the next one waits.
// A session whose outcome is settled (stopped, its dialog gone) and that keeps the pass past the
// waiter's grace loses it: from then on it acts on no server, whatever its stuck call does when it
// returns, so the rule holds however long that call takes. Portable.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace tovalo::upload {

class SessionPass {
public:
    // Runs act (an exchange with the server) unless the pass was revoked; false then. The acts of
    // one pass run one after another, and a revocation waits for the act in progress.
    bool Act(const std::function<void()>& act);
    // The holder's outcome is settled: it may now lose the pass to a session that waited long enough.
    void MarkSettled();
    bool Revoked() const;

private:
    friend class SessionGate;
    // Revokes the pass if its holder's outcome is settled; true once no act is in progress either.
    bool Revoke();

    std::mutex serial_;  // held through an act
    mutable std::mutex mutex_;
    bool settled_ = false;
    bool revoked_ = false;
    bool acting_ = false;
};

class SessionGate {
public:
    // The pass, when no session holds it; else nothing. With revoke, a holder whose outcome is
    // settled loses the pass first, once its act in progress (if any) has ended: call again then.
    // The pass is free again once every reference to it is gone.
    std::shared_ptr<SessionPass> TryEnter(bool revoke);

    // The process's gate.
    static SessionGate& Process();

private:
    std::mutex mutex_;
    std::weak_ptr<SessionPass> holder_;
};

}  // namespace tovalo::upload
