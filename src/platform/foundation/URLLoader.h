#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace brindlecue::platform {

class URLSessionTask;
class URLSessionDownloadTask;

// The process's HTTP transport behind URL sessions: one worker thread that drives libcurl's
// multi interface for every HTTP and HTTPS task. Tasks call it; it reports back through the
// task's session and delegate. Created on first use and never destroyed.
class URLLoader {
public:
    static URLLoader& shared();

    void start(const std::shared_ptr<URLSessionTask>& task);
    void setSuspended(const std::shared_ptr<URLSessionTask>& task, bool suspended);
    void cancel(const std::shared_ptr<URLSessionTask>& task);
    void cancelProducingResumeData(const std::shared_ptr<URLSessionDownloadTask>& task,
                                   std::function<void(std::optional<std::vector<uint8_t>>)> completion);

    // Whether a task started here has yet to end: to hand its end to its session (which queues
    // the session's calls) is the last thing a task does here.
    bool transfersInFlight() const;

    struct Impl;

private:
    URLLoader();
    Impl* impl_;
};

}  // namespace brindlecue::platform
