#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/LogSink.h"

namespace brindlecue::platform {

// Records every system-log line while it exists, for tests. Constructing one makes it the
// process's sink; destroying it puts back the sink it replaced. Nested captures must be
// destroyed in the reverse order of their creation.
class CaptureLogSink {
public:
    CaptureLogSink();
    ~CaptureLogSink();
    CaptureLogSink(const CaptureLogSink&) = delete;
    CaptureLogSink& operator=(const CaptureLogSink&) = delete;

    std::vector<LogEntry> entries() const;
    // The messages of the entries of one category ("" for all), in order.
    std::vector<std::string> messages(const std::string& category = "") const;
    void clear();

private:
    class Recorder;
    std::shared_ptr<Recorder> recorder_;
    std::shared_ptr<LogSink> previous_;
};

}  // namespace brindlecue::platform
