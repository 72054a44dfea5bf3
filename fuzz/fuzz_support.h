// What the fuzz targets share: a private app container for the process, log lines built in full
// and dropped (so that the text of every log line is made from the hostile input, as a logger
// would), and a few checks that end the run with a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

#include "foundation/KJLog.h"
#include "platform/AppContainer.h"
#include "platform/LogSink.h"
#include "platform/Value.h"
#include "platform/dispatch/RunLoop.h"

namespace fuzzsupport {

// Reads every line's text, as a sink that writes it would, and keeps nothing.
class DroppingSink final : public brindlecue::platform::LogSink {
public:
    void write(const brindlecue::platform::LogEntry& entry) override {
        volatile size_t sink = entry.message.size() + entry.subsystem.size();
        (void)sink;
    }
};

inline std::string& containerPath() {
    static std::string path;
    return path;
}

// Called once from LLVMFuzzerInitialize (or the first input): a fresh container under the
// temporary directory, removed when the process exits.
inline void setUpProcess() {
    static bool done = false;
    if (done) return;
    done = true;
    std::string pattern = (std::filesystem::temp_directory_path() / "brindlecue-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    containerPath() = pattern;
    // Documents name remote images; a fuzzer never reaches the network: every transfer goes to a
    // proxy on the discard port of this machine, which refuses it at once.
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, "http://127.0.0.1:9", 1);
    for (const char* name : {"no_proxy", "NO_PROXY"}) unsetenv(name);
    setenv("BRINDLECUE_CONTAINER", pattern.c_str(), 1);
    brindlecue::platform::AppContainer::setRoot({});
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(containerPath(), ec);
    });
    brindlecue::platform::LogSink::install(std::make_shared<DroppingSink>());
    brindlecue::KJLogSetObserver([](int, const std::string& line) {
        volatile size_t sink = line.size();
        (void)sink;
    });
}

// Runs what an input left on the main queue, so that it cannot pile up between inputs.
inline void settle() {
    brindlecue::platform::RunLoop::main().runUntilIdle();
}

// A finding that is not a crash (lost data, a broken promise of the interface).
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

// Touches the value's whole text, so that every part of it is read.
inline void touch(const brindlecue::platform::Value& value) {
    volatile size_t sink = value.description().size();
    (void)sink;
}

inline std::string_view text(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzzsupport
