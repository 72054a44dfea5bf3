#pragma once

// A URL session delegate that records what its session tells it, on a serial delegate queue of
// its own, with scriptable answers to the decisions.

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelegate.h"

namespace brindlecue::testsupport {

class RecordingSessionDelegate : public platform::URLSessionDelegate {
public:
    using Session = std::shared_ptr<platform::URLSession>;

    std::shared_ptr<platform::OperationQueue> queue =
        platform::OperationQueue::create("recording delegate queue");
    RecordingSessionDelegate() { queue->setMaxConcurrentOperationCount(1); }

    // Scripted answers; the defaults are the platform's.
    std::function<void(const platform::URLAuthenticationChallenge&, ChallengeCompletion)> onChallenge;
    std::function<std::shared_ptr<platform::CachedURLResponse>(
        const std::shared_ptr<platform::CachedURLResponse>&)>
        onWillCache;
    platform::URLSessionResponseDisposition disposition = platform::URLSessionResponseDisposition::Allow;

    void taskDidReceiveChallenge(const Session&, const std::shared_ptr<platform::URLSessionTask>&,
                                 const platform::URLAuthenticationChallenge& challenge,
                                 ChallengeCompletion completion) override {
        note("challenge " + std::to_string(challenge.previousFailureCount()));
        {
            std::lock_guard lock(mutex);
            challenges.push_back(challenge);
        }
        if (onChallenge) return onChallenge(challenge, std::move(completion));
        completion(platform::URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void dataTaskDidReceiveResponse(
        const Session&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::URLResponse>& r,
        std::function<void(platform::URLSessionResponseDisposition)> completion) override {
        auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(r);
        note("response " + std::to_string(http ? http->statusCode() : 0));
        {
            std::lock_guard lock(mutex);
            response = http;
        }
        completion(disposition);
    }
    void dataTaskDidReceiveData(const Session&, const std::shared_ptr<platform::URLSessionDataTask>&,
                                const platform::Data& data) override {
        std::lock_guard lock(mutex);
        body.insert(body.end(), data.begin(), data.end());
    }
    void dataTaskWillCacheResponse(
        const Session&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::CachedURLResponse>& proposed,
        std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion) override {
        note("will cache");
        completion(onWillCache ? onWillCache(proposed) : proposed);
    }
    void dataTaskDidBecomeDownloadTask(
        const Session&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::URLSessionDownloadTask>& download) override {
        note("became download");
        std::lock_guard lock(mutex);
        downloadTask = download;
    }
    void downloadTaskDidResumeAtOffset(const Session&,
                                       const std::shared_ptr<platform::URLSessionDownloadTask>&,
                                       int64_t offset, int64_t expected) override {
        note("resumed " + std::to_string(offset) + " of " + std::to_string(expected));
    }
    void downloadTaskDidWriteData(const Session&, const std::shared_ptr<platform::URLSessionDownloadTask>&,
                                  int64_t, int64_t total, int64_t) override {
        std::lock_guard lock(mutex);
        written = total;
    }
    void downloadTaskDidFinishDownloadingToURL(const Session&,
                                               const std::shared_ptr<platform::URLSessionDownloadTask>&,
                                               const platform::URL& location) override {
        note("downloaded");
        std::ifstream in(location.path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), {});
        std::lock_guard lock(mutex);
        body.assign(content.begin(), content.end());
    }
    void taskDidCompleteWithError(const Session&, const std::shared_ptr<platform::URLSessionTask>&,
                                  const std::optional<platform::Error>& e) override {
        note(e ? "complete " + std::to_string(e->code()) : "complete");
        std::lock_guard lock(mutex);
        error = e;
        ++completions;
    }
    void didFinishEventsForBackgroundURLSession(const Session&) override {
        note("background events finished");
    }

    void note(const std::string& event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
    }
    std::vector<std::string> eventList() {
        std::lock_guard lock(mutex);
        return events;
    }
    std::string bodyText() {
        std::lock_guard lock(mutex);
        return std::string(body.begin(), body.end());
    }
    // Waits (pumping the main queue) until the given number of tasks have completed.
    bool waitForCompletions(int count) {
        return platform::RunLoop::main().runUntil([&] {
            std::lock_guard lock(mutex);
            return completions >= count;
        });
    }
    bool waitForEvent(const std::string& event) {
        return platform::RunLoop::main().runUntil([&] {
            std::lock_guard lock(mutex);
            return std::find(events.begin(), events.end(), event) != events.end();
        });
    }
    void reset() {
        std::lock_guard lock(mutex);
        events.clear();
        body.clear();
        error.reset();
        response.reset();
        completions = 0;
    }

    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<platform::URLAuthenticationChallenge> challenges;
    std::shared_ptr<platform::HTTPURLResponse> response;
    std::shared_ptr<platform::URLSessionDownloadTask> downloadTask;
    platform::Data body;
    std::optional<platform::Error> error;
    int64_t written = 0;
    int completions = 0;
};

}  // namespace brindlecue::testsupport
