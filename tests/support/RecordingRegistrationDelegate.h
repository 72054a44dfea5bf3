#pragma once

// A delegate of both registration managers that keeps every outcome it hears, from any thread,
// with the handler it was handed (not called).

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQIInstallRegistrationDelegate.h"
#include "config/BLQIUpdateRegistrationDelegate.h"
#include "network/BLQHTTPRequestError.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::testsupport {

class RecordingRegistrationDelegate : public BLQIInstallRegistrationDelegate,
                                      public BLQIUpdateRegistrationDelegate {
public:
    using Handler = BLQIInstallRegistrationDelegate::Handler;

    struct Outcome {
        std::string call;  // "installSuccess", "installFailure", "updateSuccess" or "updateFailure"
        platform::Value response;
        std::optional<platform::URL> url;
        std::optional<platform::Error> error;
        Handler handler;
        // The failure's request error; none for a success or an error of another domain.
        std::optional<BLQHTTPRequestError> requestError() const {
            return error ? BLQHTTPRequestError::fromError(*error) : std::nullopt;
        }
    };

    void onInstallRegistrationSuccess(const platform::Value& response, const platform::URL& url,
                                      Handler handler) override {
        record({"installSuccess", response, url, std::nullopt, std::move(handler)});
    }
    void onInstallRegistrationFailure(const platform::Error& error, Handler handler) override {
        record({"installFailure", {}, std::nullopt, error, std::move(handler)});
    }
    void onUpdateSuccess(const platform::Value& response, const platform::URL& url,
                         Handler handler) override {
        record({"updateSuccess", response, url, std::nullopt, std::move(handler)});
    }
    void onUpdateFailure(const platform::Error& error, Handler handler) override {
        record({"updateFailure", {}, std::nullopt, error, std::move(handler)});
    }

    std::vector<Outcome> outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    // Pumps the main queue until at least n outcomes arrived; false after 20 s.
    bool waitFor(size_t n) const {
        return platform::RunLoop::main().runUntil([&] { return outcomes().size() >= n; }, 20);
    }

private:
    void record(Outcome outcome) {
        std::lock_guard lock(mutex_);
        outcomes_.push_back(std::move(outcome));
    }

    mutable std::mutex mutex_;
    std::vector<Outcome> outcomes_;
};

}  // namespace brindlecue::testsupport
