#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue::platform {

// The script world of one loaded document, on Duktape: a global object with what a page's
// scripts find in a browser (window and self, console, setTimeout and clearTimeout,
// webkit.messageHandlers), without Duktape's own global. Internal to the web view; main thread
// only.
//
// A page never harms its host:
// - Every entry into the engine (a script, a timer, an evaluation) has a deadline of real time.
//   A script still running when it passes is stopped with a RangeError "execution timeout" that
//   no try/catch of the page can hold. The deadline is real time, not Clock: a virtual clock
//   only moves when the test advances it, which it cannot do while the main thread is inside the
//   script. The engine checks it between bytecode instructions, so one long built-in call is
//   not cut short.
// - The heap has a memory cap; an allocation beyond it fails as a RangeError in the page.
// - A posted message whose JSON text is larger than the message cap, or that has no JSON form
//   (a cycle, nesting deeper than the engine's JSON limit), throws in the page and is not sent.
// - Zero-delay timers nested more than five deep wait at least 4 ms, as browsers clamp them.
// - Texts leaving the engine are well-formed UTF-8 (surrogate pairs joined, stray surrogates
//   and broken sequences replaced by U+FFFD).
class WebPage : public std::enable_shared_from_this<WebPage> {
public:
    struct Limits {
        double scriptTimeLimit = 0.5;
        size_t memoryLimit = size_t{64} << 20;
        size_t maxMessageBytes = size_t{1} << 20;
        size_t maxResultBytes = size_t{8} << 20;
        size_t maxTimers = 10000;
    };
    struct Hooks {
        std::function<bool(const std::string& name)> hasMessageHandler;
        // False when the message cannot be taken; the page's postMessage then throws.
        std::function<bool(const std::string& name, Value body)> postMessage;
        // A console call ("log", "info", "warn", "error", "debug") with its arguments joined.
        std::function<void(const std::string& level, const std::string& text)> console;
    };
    struct Outcome {
        Value result;
        std::optional<Error> error;
    };

    // None when the engine cannot start.
    static std::shared_ptr<WebPage> create(std::string url, Limits limits, Hooks hooks);
    // The text as well-formed UTF-8, as texts leave the engine: for page texts that reach the app
    // another way (the document's own markup).
    static std::string wellFormedUTF8(std::string_view text);
    ~WebPage();

    const std::string& url() const;
    // Seconds of real time each later entry into the engine may take.
    void setScriptTimeLimit(double seconds);
    // Runs a script of the document (an element or a user script). An error it does not catch
    // goes to the page's window.onerror (message, URL, line) when it has one, else to the
    // console as an "error" line; a script stopped at its deadline goes to the console only.
    void runScript(const std::string& source, const std::string& sourceName);
    // Evaluates the source for the app: the value of its last statement, or the exception as a
    // WKErrorDomain error. Objects and arrays come back through their JSON form; functions and
    // values without one are an unsupported result.
    Outcome evaluate(const std::string& source);
    // True while the engine runs (it takes no nested entry).
    bool isRunning() const;
    // Runs a timer the page set, when it falls due (the page's timers call it on the main queue).
    void fireTimer(uint32_t id);

    // The engine's state (defined with the engine); create() is the way to make a page.
    struct Engine;
    WebPage(std::string url, Limits limits, Hooks hooks);

private:
    std::unique_ptr<Engine> engine_;
};

}  // namespace brindlecue::platform
