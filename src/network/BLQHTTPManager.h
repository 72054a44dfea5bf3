#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/BLQIAppDetailsProvider.h"
#include "foundation/BLQILoggable.h"
#include "foundation/SynchronizedDictionary.h"
#include "network/BLQIHTTPErrorHandler.h"
#include "network/BLQIHTTPManager.h"

namespace brindlecue {

namespace platform {
class URLSession;
}

// The process's one HTTP client of the newer layer. Before every request it refreshes the app
// headers from the app details; a header once sent keeps being sent until a new value replaces
// it. Transport errors keep their own domain; an answer of status 400 or more fails in the domain
// "HTTPManager" with the status as code (after the status handlers have run), a missing answer
// with code -1.
class BLQHTTPManager final : public BLQIHTTPManager, public BLQILoggable {
public:
    static constexpr const char* kErrorDomain = "HTTPManager";
    static constexpr double kTimeoutInterval = 60.0;

    BLQHTTPManager(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                   std::vector<std::shared_ptr<BLQIHTTPErrorHandler>> errorHandlers);

    void delete_(const platform::URL& url, Completion completion) override;
    void get(const platform::URL& url, Completion completion) override;
    void patch(const platform::URL& url, const platform::Data& data, Completion completion) override;
    void post(const platform::URL& url, const platform::Data& data, Completion completion) override;

    // The status handlers, in the order they are asked.
    const std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>& errorHandlers() const { return errorHandlers_; }

private:
    void send(const platform::URL& url, const std::string& method, const platform::Data* body,
              Completion completion);
    void refreshHeaders();
    // Runs every handler of the answer's status, in list order.
    static void handleErrorResponse(const std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>& handlers,
                                    const std::shared_ptr<platform::URLResponse>& response);

    std::shared_ptr<platform::URLSession> session_;
    std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    std::vector<std::shared_ptr<BLQIHTTPErrorHandler>> errorHandlers_;
    // Shared with the completions in flight, which may outlive the client at process exit.
    std::shared_ptr<SynchronizedDictionary<std::string, std::string>> headers_;
};

}  // namespace brindlecue
