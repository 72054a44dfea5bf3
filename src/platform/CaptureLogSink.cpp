#include "platform/CaptureLogSink.h"

namespace brindlecue::platform {

class CaptureLogSink::Recorder final : public LogSink {
public:
    void write(const LogEntry& entry) override {
        std::lock_guard lock(mutex);
        entries.push_back(entry);
    }

    mutable std::mutex mutex;
    std::vector<LogEntry> entries;
};

CaptureLogSink::CaptureLogSink() : recorder_(std::make_shared<Recorder>()) {
    previous_ = LogSink::install(recorder_);
}

CaptureLogSink::~CaptureLogSink() {
    LogSink::install(previous_);
}

std::vector<LogEntry> CaptureLogSink::entries() const {
    std::lock_guard lock(recorder_->mutex);
    return recorder_->entries;
}

std::vector<std::string> CaptureLogSink::messages(const std::string& category) const {
    std::lock_guard lock(recorder_->mutex);
    std::vector<std::string> out;
    for (const auto& e : recorder_->entries) {
        if (category.empty() || e.category == category) out.push_back(e.message);
    }
    return out;
}

void CaptureLogSink::clear() {
    std::lock_guard lock(recorder_->mutex);
    recorder_->entries.clear();
}

}  // namespace brindlecue::platform
