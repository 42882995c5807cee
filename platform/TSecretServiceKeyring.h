#pragma once
// The desktop's keyring through the Secret Service (QtKeychain). Its requests are
// asynchronous; each one here waits for its answer in a local event loop that lets no user
// input through and gives up after a time-out, so the single-threaded program neither blocks
// forever nor reacts to clicks while the keyring is asked.

#include "platform/TKeyring.h"

#include <chrono>

namespace QKeychain {
class Job;
}

namespace vexil {

class TSecretServiceKeyring : public TKeyring {
public:
    // A keyring that shows an unlock prompt waits for the user, hence the long default.
    explicit TSecretServiceKeyring(std::chrono::milliseconds patience = std::chrono::seconds(30));

    std::optional<std::string> Read(const std::string &name) override;
    void Write(const std::string &name, const std::string &secret) override;
    void Remove(const std::string &name) override;

    static constexpr const char *kServiceName = "vexil";

private:
    struct TOutcome;
    // Throws EKeyringMissing when no keyring is on the session bus (asked once).
    void RequireService();
    // Runs job to its end or the time-out. A job that has not finished cannot be deleted
    // safely, so it is left to delete itself when it does.
    TOutcome Run(QKeychain::Job *job);
    // Runs job for the entry name and deletes it; throws on a time-out and on any failure
    // but a missing entry.
    TOutcome Perform(QKeychain::Job *job, const std::string &name);

    std::chrono::milliseconds patience_;
    int present_ = -1;
};

} // namespace vexil
